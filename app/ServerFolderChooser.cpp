#include "app/ServerFolderChooser.h"

#include "core/ServerLocation.h"
#include "ui/ModalMessage.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

#include <cstdio>

namespace {

const QString folderKey = QStringLiteral("serverFolder");

// Returned by value: C++17 elides the copy a QObject would not allow.
QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelto"),
                     QStringLiteral("kelto-account-creator"));
}

void saveServerFolder(const QString &folder)
{
    QSettings stored = settings();
    stored.setValue(folderKey, folder);
    stored.sync();
    // Not fatal: the program works on the folder all the same and simply asks again next time.
    if (stored.status() != QSettings::NoError)
        std::fprintf(stderr, "kelto-account-creator: could not keep the server folder in %s\n",
                     qPrintable(QDir::toNativeSeparators(stored.fileName())));
}

// A folder dialog that also lets the account file itself be picked, by a double-click: an
// operator looking for the server folder often goes one step too far. Only Qt's own dialog
// lists files in a folder dialog; a native one offers folders alone.
class ServerFolderDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList picked = selectedFiles();
        if (!picked.isEmpty() && QFileInfo(picked.constFirst()).isFile())
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

} // namespace

QString savedServerFolder()
{
    return settings().value(folderKey).toString();
}

QString chooseServerFolder(const QString &why, const QString &start, QWidget *parent)
{
    ServerFolderDialog dialog(parent, why, start);
    dialog.setFileMode(QFileDialog::Directory);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const QString folder = serverFolderFromPick(dialog.selectedFiles().constFirst());
        const QString missing = missingServerPart(folder);
        if (missing.isEmpty()) {
            saveServerFolder(folder);
            return folder;
        }
        QMessageBox::warning(parent, ModalMessage::applicationTitle,
                             QStringLiteral("%1 is not a server folder: it has no %2.\n\nChoose "
                                            "the folder that holds kData/kPlayer/kAdd.txt.")
                                 .arg(QDir::toNativeSeparators(folder), missing));
        dialog.setDirectory(folder);
    }
}

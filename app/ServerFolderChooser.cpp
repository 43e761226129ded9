#include "app/ServerFolderChooser.h"

#include "core/ServerLocation.h"
#include "ui/ModalMessage.h"

#include <QDir>
#include <QFileDialog>
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

} // namespace

QString savedServerFolder()
{
    return settings().value(folderKey).toString();
}

QString chooseServerFolder()
{
    QString start = QDir::homePath();
    for (;;) {
        const QString folder = QFileDialog::getExistingDirectory(
            nullptr, QStringLiteral("Choose the server folder (it holds kData/kPlayer/kAdd.txt)"),
            start);
        if (folder.isEmpty())
            return {};
        const QString missing = missingServerPart(folder);
        if (missing.isEmpty()) {
            saveServerFolder(folder);
            return folder;
        }
        QMessageBox::warning(nullptr, ModalMessage::applicationTitle,
                             QStringLiteral("%1 is not a server folder: it has no %2.\n\nChoose "
                                            "the folder that holds kData/kPlayer/kAdd.txt.")
                                 .arg(QDir::toNativeSeparators(folder), missing));
        start = folder;
    }
}

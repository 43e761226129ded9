#include "app/ServerFolderChooser.h"

#include "core/ServerLocation.h"
#include "ui/ModalMessage.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
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
// operator looking for the server folder often goes one step too far. It is Qt's own dialog on
// every system: only that one lists files in a folder dialog, and only that one has room for a
// text saying what is asked for, which a native dialog's title bar cuts short.
class ServerFolderDialog : public QFileDialog
{
public:
    ServerFolderDialog(QWidget *parent, const QString &why, const QString &start)
        : QFileDialog(parent, QStringLiteral("Choose the Server Folder"), start)
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(QFileDialog::Directory);
        auto *explanation = new QLabel(
            QStringLiteral("%1\n\nThe server folder is the game server's own folder: the one "
                           "that holds %2, the file of the player accounts. Picking that file "
                           "itself chooses its server folder too.")
                .arg(why, QDir::toNativeSeparators(QStringLiteral("kData/kPlayer/kAdd.txt"))),
            this);
        explanation->setObjectName(QStringLiteral("lblExplanation"));
        explanation->setTextFormat(Qt::PlainText);
        explanation->setWordWrap(true);
        putAboveAll(explanation);
    }

    void accept() override
    {
        const QStringList picked = selectedFiles();
        if (!picked.isEmpty() && QFileInfo(picked.constFirst()).isFile())
            QDialog::accept();
        else
            QFileDialog::accept();
    }

private:
    // Qt's dialog lays itself out on a grid with no room above its first row: every item moves
    // one row down.
    void putAboveAll(QWidget *widget)
    {
        auto *grid = qobject_cast<QGridLayout *>(layout());
        if (!grid) {
            layout()->addWidget(widget);
            return;
        }
        struct Placed
        {
            QLayoutItem *item;
            int row, column, rows, columns;
        };
        const int columns = grid->columnCount();
        QList<Placed> items;
        for (int i = grid->count() - 1; i >= 0; --i) {
            Placed placed{};
            grid->getItemPosition(i, &placed.row, &placed.column, &placed.rows, &placed.columns);
            placed.item = grid->takeAt(i);
            items.append(placed);
        }
        for (const Placed &placed : std::as_const(items))
            grid->addItem(placed.item, placed.row + 1, placed.column, placed.rows, placed.columns);
        grid->addWidget(widget, 0, 0, 1, columns);
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

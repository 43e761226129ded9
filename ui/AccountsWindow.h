#pragma once

#include "ui/AccountChange.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class AccountTable;
class QAction;
struct RestorePreview;
class AccountTableLoader;
class AccountTableModel;
class QCheckBox;
class QDialog;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;
class QThread;

// The Accounts window: every line of the account file in a table, with a filter; accounts added
// through AddAccount and the password, details and removal of the selected account changed
// through EditAccount, as kadd add, passwd, set and remove do, one at a time, on a thread of its
// own: a large file keeps the window answering meanwhile. It follows the file: a change by any
// program reloads the table, in the background, keeping the selected account in view.
class AccountsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AccountsWindow(const QString &applicationFolder, QWidget *parent = nullptr);
    ~AccountsWindow() override;

    QString applicationFolder() const { return m_applicationFolder; }
    AccountTableModel *model() const { return m_model; }
    bool isChanging() const { return m_change != nullptr; }

    // The commands on the selected account; each opens its dialog.
    void changePassword();
    void editAccount();
    void removeAccount();
    void copySelection();
    void copyUsername();
    // Opens the dialog for a new account.
    void addAccount();
    // Reads the file again now, as a change noticed on disk does after a short wait.
    void reload();

signals:
    // A load finished and the table shows it (or its error).
    void tableLoaded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void watchFile();
    void fileTouched();
    void showTable(std::shared_ptr<const AccountTable> table);
    void keepPlace();
    void returnToPlace();
    void showLoadError(const QString &errorText);
    void showProgress(qint64 bytesRead, qint64 fileSize);
    void updateCommands();
    void enterTable(bool firstRow);
    void showRowMenu(const QPoint &position);
    void showStatus();
    void showSortIndicator();
    int selectedRow() const;
    int changeableRow() const;
    int removableRow() const;
    void selectRow(int row);
    // Sends the change a dialog asked for; the dialog closes unless a rule refused a value.
    void apply(QDialog *dialog, const AccountChange &change);
    void openDialog(QDialog *dialog);
    void startChange(const QString &status,
                     const std::function<std::optional<ChangeMessage>()> &work);
    void finishChange();
    void restorePreviousFile();
    void askToRestore(const RestorePreview &preview);

    QString m_applicationFolder;
    QString m_accountPath;
    AccountTableModel *m_model = nullptr;
    AccountTableLoader *m_loader = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer m_reloadTimer;       // a burst of changes gives one reload
    QElapsedTimer m_burst;      // since the first change the next reload shows
    QTimer m_progressDelay;     // a quick load shows no progress bar
    bool m_loadShowing = false; // a loaded table is being filtered and sorted for the view

    // The change under way, if any. Its outcome is reported once: by the thread's end or, when
    // the window closes first, by the close, which waits for it.
    QThread *m_change = nullptr;
    quint64 m_changeId = 0; // a thread's end reported by a close meanwhile is not reported again
    QString m_changeStatus;
    QString m_addingName;             // of an addition under way, to be selected once it is done
    std::function<void()> m_nextStep; // what a change that went well leads to
    QPointer<QDialog> m_changeDialog; // the dialog the change came from, open until it ends
    std::shared_ptr<std::optional<ChangeMessage>> m_changeMessage;
    QString m_addedName; // selected and shown once the table holds it

    // Where the operator was before the rows were replaced: the selected and the topmost line,
    // by index within the same table, by name in a new version of the file.
    struct Place
    {
        const AccountTable *table = nullptr;
        qsizetype selectedLine = -1;
        QString selectedName;
        qsizetype topLine = -1;
        QString topName;
        int scroll = 0;
    };
    Place m_place;

    QLineEdit *txtFilter = nullptr;
    QCheckBox *chkShowPasswords = nullptr;
    QTableView *tblAccounts = nullptr;
    QLabel *lblStatus = nullptr;
    QProgressBar *prgLoad = nullptr;
    QPushButton *cmdPassword = nullptr;
    QPushButton *cmdEdit = nullptr;
    QPushButton *cmdRemove = nullptr;
    QPushButton *cmdAdd = nullptr;
    QMenu *m_rowMenu = nullptr;    // the commands on the row under the pointer
    QList<QAction *> m_rowChanges; // those of m_rowMenu that change the account
    QAction *m_rowRemove = nullptr;
    QAction *m_copyUsername = nullptr;
    QAction *m_restore = nullptr; // of the whole file, offered on and off the rows
};

#pragma once

#include "core/EntryView.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <functional>

class QContextMenuEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class AccountsWindow;
class frmGmSelect;

// The main window: the entry, the record label and the four buttons. It is the entry view
// Create Account works on; what an entry must satisfy and what happens to the account file is
// decided in the core.
class frmKeltoAccountCreator : public QWidget, public EntryView
{
    Q_OBJECT

public:
    // applicationFolder is the folder beside which kData/ is looked for.
    explicit frmKeltoAccountCreator(
        const QString &applicationFolder = QCoreApplication::applicationDirPath(),
        QWidget *parent = nullptr);
    ~frmKeltoAccountCreator() override;

    QString text(EntryBox box) const override;
    void setText(EntryBox box, const QString &text) override;
    bool isMaleSelected() const override;
    void setMaleSelected(bool selected) override;
    void setRecordLabel(const QString &caption) override;
    QString applicationFolder() const override;
    void showMessageBox(const QString &text, const std::optional<QString> &title,
                        MessageIcon icon) override;
    qint32 gmFlagTotal() const override;
    void setGmFlagTotal(qint32 total) override;
    void runClear() override;
    CreateAccountState &keptValues() override;

    // The GM selection window while it is open.
    frmGmSelect *gmWindow() const;

    // Asks the operator for another server folder (the current one given), for the context
    // menu's Change server folder…; an empty result leaves the folder as it is. Without one the
    // menu item is disabled.
    using ServerFolderChooser = std::function<QString(QWidget *parent, const QString &current)>;
    void setServerFolderChooser(ServerFolderChooser chooser);
    void changeServerFolder();

    // Opens the Accounts window on the server folder in use, or raises the one already open.
    void openAccountsWindow();
    AccountsWindow *accountsWindow() const;

    void Form_Load();
    void cmdCreate_Click();
    void cmdClear_Click();
    void cmdGM_Click();
    void CmdExit_Click();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void createControls();
    void connectHandlers();
    void applyTabOrder();
    void keepTabStopOnSelectedGender();
    QLineEdit *box(EntryBox box) const;

    QLabel *lblKadd = nullptr;
    QLabel *lblUsername = nullptr;
    QLineEdit *txtUsername = nullptr;
    QLabel *lblUsername1 = nullptr;
    QLabel *lblPassword = nullptr;
    QLineEdit *txtPassword = nullptr;
    QLabel *lblPassword1 = nullptr;
    QLabel *lblGender = nullptr;
    QRadioButton *optGenderMale = nullptr;
    QRadioButton *optGenderFemale = nullptr;
    QLabel *lblEmail = nullptr;
    QLineEdit *txtEmail = nullptr;
    QPushButton *cmdGM = nullptr;
    QLabel *lblGmMode = nullptr;
    QPushButton *cmdCreate = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *CmdExit = nullptr;

    QString m_loadFolder;        // as the platform reported it
    QString m_applicationFolder; // recorded by Form_Load
    CreateAccountState m_kept;
    QPointer<frmGmSelect> m_gmWindow;
    QPointer<AccountsWindow> m_accountsWindow;
    ServerFolderChooser m_chooseServerFolder;
};

#include "core/AccountEdit.h"
#include "core/AccountTable.h"
#include "core/internal/fs/UpdateLock.h"
#include "tests/support/ServerFolder.h"
#include "tests/ui/ModalMessageCatcher.h"
#include "tests/ui/WindowProbe.h"
#include "ui/AccountDetailsDialog.h"
#include "ui/AccountTableModel.h"
#include "ui/AccountsWindow.h"
#include "ui/AddAccountDialog.h"
#include "ui/PasswordDialog.h"
#include "ui/RemoveAccountDialog.h"
#include "ui/frmKeltoAccountCreator.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <memory>

// The Accounts window over a real account file: the model's rows, the flow of the three
// changes, and a change whose account another program removed meanwhile.
class AccountsWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rows_data();
    void rows();
    void filterAndSort_data();
    void filterAndSort();
    void copyLeavesHiddenPasswordsOut_data();
    void copyLeavesHiddenPasswordsOut();
    void hiddenPasswordsOrderNothing();
    void reloadKeepsSelectedAccount();
    void busyFileShownEverySecond();
    void changesMatchEditAccount();
    void accountRemovedMeanwhile();
    void lineRemovedAsShown_data();
    void lineRemovedAsShown();
    void passwordMismatchStartsOver();
    void addAccount_data();
    void addAccount();
    void filterDownSelectsFirstRow();
    void windowAnswersDuringChange_data();
    void windowAnswersDuringChange();
    void accessibleNames();
    void tabOrder();
    void ctrlMOpensOneWindow();

private:
    void openWindow();
    void select(const QString &username);
    QTableView *table() const;
    void waitForLoad();
    template <typename Dialog> Dialog *openedDialog();
    static void submit(QDialog *dialog);

    std::unique_ptr<ServerFolder> m_server;
    std::unique_ptr<WorkingFolder> m_working;
    std::unique_ptr<ModalMessageCatcher> m_boxes;
    std::unique_ptr<AccountsWindow> m_window;
};

namespace {

// Four accounts and, on line 3, a line the reader refuses: a gender of 7.
const QByteArray accounts = "alice,secret1,0,alice@example.org,0\r\n"
                            "bob,hunter22,1,none,384\r\n"
                            "broken,leakme,7,none,0\r\n"
                            "carol,pass1234,0,carol@example.net,1\r\n"
                            "dave,pw123456,1,none,0\r\n";

std::shared_ptr<AccountTable> loadedTable(const ServerFolder &server)
{
    auto table = std::make_shared<AccountTable>();
    if (table->load(server.path()).outcome != ReadOutcome::Done)
        qWarning("the account table did not load");
    return table;
}

QStringList column(const AccountTableModel &model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}

} // namespace

void AccountsWindowTest::init()
{
    m_server = std::make_unique<ServerFolder>(accounts);
    m_working = std::make_unique<WorkingFolder>(m_server->workFolder());
    m_boxes = std::make_unique<ModalMessageCatcher>();
}

void AccountsWindowTest::cleanup()
{
    m_window.reset();
    m_boxes.reset();
    m_working.reset();
    m_server.reset();
}

void AccountsWindowTest::openWindow()
{
    m_window = std::make_unique<AccountsWindow>(m_server->path());
    m_window->show();
    waitForLoad();
}

void AccountsWindowTest::waitForLoad()
{
    QSignalSpy loaded(m_window.get(), &AccountsWindow::tableLoaded);
    QVERIFY(loaded.wait(5000));
}

QTableView *AccountsWindowTest::table() const
{
    return m_window->findChild<QTableView *>(QStringLiteral("tblAccounts"));
}

void AccountsWindowTest::select(const QString &username)
{
    // A dialog closed before is gone first, so that findChild meets only the next one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const int row = column(*m_window->model(), AccountTableModel::UsernameColumn).indexOf(username);
    QVERIFY(row >= 0);
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {},
                      table()->visualRect(m_window->model()->index(row, 1)).center());
}

template <typename Dialog> Dialog *AccountsWindowTest::openedDialog()
{
    Dialog *dialog = m_window->findChild<Dialog *>();
    if (!dialog || !dialog->isVisible())
        qWarning("the dialog did not open");
    return dialog;
}

void AccountsWindowTest::submit(QDialog *dialog)
{
    auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttons"));
    emit buttons->accepted();
}

void AccountsWindowTest::rows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("shown");

    QTest::newRow("line number") << 3 << int(AccountTableModel::LineColumn) << "4";
    QTest::newRow("password hidden")
        << 0 << int(AccountTableModel::PasswordColumn) << QString(8, QChar(0x2022));
    QTest::newRow("gender") << 0 << int(AccountTableModel::GenderColumn) << "Female";
    QTest::newRow("GM flags with names")
        << 1 << int(AccountTableModel::GmFlagsColumn) << "384 (WARP+WHOIS)";
    QTest::newRow("malformed: the reason") << 2 << int(AccountTableModel::UsernameColumn)
                                           << "Malformed line: the gender is not 1 or 0";
    QTest::newRow("malformed: no field quoted")
        << 2 << int(AccountTableModel::PasswordColumn) << "";
}

void AccountsWindowTest::rows()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, shown);

    AccountTableModel model;
    model.setTable(loadedTable(*m_server));
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.index(row, column).data().toString(), shown);
}

void AccountsWindowTest::filterAndSort_data()
{
    QTest::addColumn<qsizetype>("backgroundFrom");

    QTest::newRow("at once") << qsizetype(1000);
    QTest::newRow("in the background") << qsizetype(0);
}

void AccountsWindowTest::filterAndSort()
{
    QFETCH(qsizetype, backgroundFrom);

    AccountTableModel model;
    model.setBackgroundFrom(backgroundFrom);
    const auto replaced = [&model](const std::function<void()> &step) {
        QSignalSpy rows(&model, &AccountTableModel::rowsReplaced);
        step();
        return !rows.isEmpty() || rows.wait(5000);
    };
    QVERIFY(replaced([&] { model.setTable(loadedTable(*m_server)); }));
    QVERIFY(replaced([&] { model.setFilterText(QStringLiteral("a*")); }));
    QCOMPARE(column(model, AccountTableModel::UsernameColumn), (QStringList{"alice"}));
    QVERIFY(replaced([&] { model.setFilterText(QStringLiteral("*a*")); }));
    QCOMPARE(column(model, AccountTableModel::UsernameColumn),
             (QStringList{"alice", "carol", "dave"}));
    QVERIFY(replaced([&] { model.sort(AccountTableModel::UsernameColumn, Qt::DescendingOrder); }));
    QCOMPARE(column(model, AccountTableModel::LineColumn), (QStringList{"5", "4", "1"}));
    QVERIFY(replaced([&] { model.sort(AccountTableModel::LineColumn, Qt::AscendingOrder); }));
    QCOMPARE(column(model, AccountTableModel::LineColumn), (QStringList{"1", "4", "5"}));
    QCOMPARE(model.statusText(), QStringLiteral("3 of 5 lines shown, 1 malformed"));
}

void AccountsWindowTest::copyLeavesHiddenPasswordsOut_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("copied");

    QTest::newRow("hidden") << false << "2\tbob\tMale\tnone\t384 (WARP+WHOIS)\n";
    QTest::newRow("shown") << true << "2\tbob\thunter22\tMale\tnone\t384 (WARP+WHOIS)\n";
}

void AccountsWindowTest::copyLeavesHiddenPasswordsOut()
{
    QFETCH(bool, shown);
    QFETCH(QString, copied);

    AccountTableModel model;
    model.setTable(loadedTable(*m_server));
    model.setPasswordsShown(shown);
    QCOMPARE(model.copyText({1}), copied);
}

void AccountsWindowTest::hiddenPasswordsOrderNothing()
{
    openWindow();
    QHeaderView *header = table()->horizontalHeader();
    const auto lines = [this] {
        return column(*m_window->model(), AccountTableModel::LineColumn);
    };

    header->setSortIndicator(AccountTableModel::PasswordColumn, Qt::AscendingOrder);
    QCOMPARE(lines(), (QStringList{"1", "2", "3", "4", "5"}));
    QCOMPARE(header->sortIndicatorSection(), int(AccountTableModel::LineColumn));

    auto *show = m_window->findChild<QCheckBox *>(QStringLiteral("chkShowPasswords"));
    show->setChecked(true);
    header->setSortIndicator(AccountTableModel::PasswordColumn, Qt::AscendingOrder);
    QCOMPARE(lines(), (QStringList{"2", "4", "5", "1", "3"})); // the malformed line last
    show->setChecked(false);
    QCOMPARE(lines(), (QStringList{"1", "2", "3", "4", "5"}));
    QCOMPARE(header->sortIndicatorSection(), int(AccountTableModel::LineColumn));
}

void AccountsWindowTest::reloadKeepsSelectedAccount()
{
    openWindow();
    select(QStringLiteral("carol"));
    // Another program adds a line above carol's: her line number moves, the selection follows.
    m_server->setAccounts("zed,zzzz1234,1,none,0\r\n" + accounts);
    waitForLoad();
    const QModelIndexList selected = table()->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(m_window->model()->recordAt(selected.constFirst().row()).username, "carol");
    QCOMPARE(m_window->model()->lineAt(selected.constFirst().row()), 4);
}

// A writer appending every 100 ms never lets the file go quiet: the table follows it all the same.
void AccountsWindowTest::busyFileShownEverySecond()
{
    openWindow();
    QSignalSpy loads(m_window.get(), &AccountsWindow::tableLoaded);
    QByteArray grown = accounts;
    QTimer writer;
    connect(&writer, &QTimer::timeout, this, [&] {
        grown += "x" + QByteArray::number(grown.size()) + ",pw123456,1,none,0\r\n";
        m_server->setAccounts(grown);
    });
    writer.start(100);
    QTest::qWait(2600);
    writer.stop();
    QVERIFY2(loads.size() >= 2, qPrintable(QString::number(loads.size())));
}

void AccountsWindowTest::changesMatchEditAccount()
{
    openWindow();
    m_window->findChild<QLineEdit *>(QStringLiteral("txtFilter"))->setText(QStringLiteral("b?b"));
    QCOMPARE(m_window->model()->rowCount(), 1);

    select(QStringLiteral("bob"));
    QTest::keyClick(table(), Qt::Key_Return);
    auto *details = openedDialog<AccountDetailsDialog>();
    QVERIFY(details);
    details->findChild<QPushButton *>(QStringLiteral("cmdClearAll"))->click();
    details->findChild<QCheckBox *>(QStringLiteral("chkRefine"))->setChecked(true);
    submit(details);
    waitForLoad();

    select(QStringLiteral("bob"));
    m_window->findChild<QPushButton *>(QStringLiteral("cmdPassword"))->click();
    auto *password = openedDialog<PasswordDialog>();
    QVERIFY(password);
    QTest::keyClicks(password->findChild<QLineEdit *>(QStringLiteral("txtNewPassword")),
                     QStringLiteral("newpass99"));
    QTest::keyClicks(password->findChild<QLineEdit *>(QStringLiteral("txtRepeatPassword")),
                     QStringLiteral("newpass99"));
    submit(password);
    waitForLoad();

    select(QStringLiteral("bob"));
    QTest::keyClick(table(), Qt::Key_Delete);
    auto *remove = openedDialog<RemoveAccountDialog>();
    QVERIFY(remove);
    remove->findChild<QPushButton *>(QStringLiteral("cmdRemove"))->click();
    waitForLoad();
    QVERIFY(m_boxes->shown.isEmpty());

    // The same three changes sent straight through the core, on a copy of the file.
    const ServerFolder expected(accounts);
    const WorkingFolder working(expected.workFolder());
    const QString bob = QStringLiteral("bob");
    QCOMPARE(EditAccount(expected.path(), {bob, false, {{GmFlagsField, "16384"}}}).outcome,
             EditOutcome::Done);
    QCOMPARE(EditAccount(expected.path(), {bob, false, {{PasswordField, "newpass99"}}}).outcome,
             EditOutcome::Done);
    QCOMPARE(EditAccount(expected.path(), {bob, true, {}, false, true}).outcome, EditOutcome::Done);
    QCOMPARE(m_server->accounts(), expected.accounts());
    QFile backup(m_server->accountFile() + QStringLiteral(".bak"));
    QVERIFY(backup.open(QIODevice::ReadOnly));
    QFile expectedBackup(expected.accountFile() + QStringLiteral(".bak"));
    QVERIFY(expectedBackup.open(QIODevice::ReadOnly));
    QCOMPARE(backup.readAll(), expectedBackup.readAll());
}

void AccountsWindowTest::accountRemovedMeanwhile()
{
    openWindow();
    select(QStringLiteral("bob"));
    QByteArray withoutBob = accounts;
    withoutBob.remove(withoutBob.indexOf("bob,"),
                      withoutBob.indexOf("broken") - withoutBob.indexOf("bob,"));
    m_server->setAccounts(withoutBob);

    // The table still shows bob: the edit is made by name on the file as it is now.
    m_window->editAccount();
    auto *details = openedDialog<AccountDetailsDialog>();
    QVERIFY(details);
    details->findChild<QPushButton *>(QStringLiteral("cmdSelectAll"))->click();
    submit(details);
    QTRY_COMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_boxes->shown.constFirst().text, QStringLiteral("No such account: bob"));
    QCOMPARE(m_server->accounts(), withoutBob);
}

void AccountsWindowTest::lineRemovedAsShown_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QByteArray>("meanwhile"); // the file when Remove is pressed; empty: before
    QTest::addColumn<QByteArray>("after");

    const QByteArray twice = accounts + "BOB,other22,1,none,0\r\n";
    QByteArray withoutBroken = accounts;
    withoutBroken.remove(withoutBroken.indexOf("broken"), strlen("broken,leakme,7,none,0\r\n"));
    QByteArray brokenOtherwise = accounts;
    brokenOtherwise.replace("leakme,7", "leakme,8");

    const QString broken = QStringLiteral("Malformed line: the gender is not 1 or 0");
    QTest::newRow("malformed") << accounts << broken << QByteArray() << withoutBroken;
    QTest::newRow("first of a name twice")
        << twice << "bob" << QByteArray()
        << QByteArray(twice).replace("bob,hunter22,1,none,384\r\n", "");
    QTest::newRow("changed meanwhile") << accounts << broken << brokenOtherwise << brokenOtherwise;
}

// A line a removal by name cannot take goes as the very line shown, or not at all.
void AccountsWindowTest::lineRemovedAsShown()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, row);
    QFETCH(QByteArray, meanwhile);
    QFETCH(QByteArray, after);
    m_server->setAccounts(before);
    openWindow();
    select(row);
    if (!meanwhile.isEmpty())
        m_server->setAccounts(meanwhile);
    m_window->removeAccount();
    auto *remove = openedDialog<RemoveAccountDialog>();
    QVERIFY(remove);
    remove->findChild<QPushButton *>(QStringLiteral("cmdRemove"))->click();
    QTRY_VERIFY(!m_window->isChanging());
    QCOMPARE(m_server->accounts(), after);
    QCOMPARE(m_boxes->shown.size(), meanwhile.isEmpty() ? 0 : 1);
}

void AccountsWindowTest::passwordMismatchStartsOver()
{
    openWindow();
    select(QStringLiteral("alice"));
    m_window->changePassword();
    auto *dialog = openedDialog<PasswordDialog>();
    QVERIFY(dialog);
    auto *first = dialog->findChild<QLineEdit *>(QStringLiteral("txtNewPassword"));
    auto *again = dialog->findChild<QLineEdit *>(QStringLiteral("txtRepeatPassword"));
    QTest::keyClicks(first, QStringLiteral("newpass99"));
    QTest::keyClicks(again, QStringLiteral("newpass98"));
    submit(dialog);
    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_boxes->shown.constFirst().text,
             QStringLiteral("The two passwords are not the same"));
    QVERIFY(first->text().isEmpty());
    QVERIFY(again->text().isEmpty());
    QCOMPARE(dialog->focusWidget(), first);
}

void AccountsWindowTest::addAccount_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("message"); // none: added
    QTest::addColumn<QByteArray>("accountsAfter");

    QTest::newRow("added") << "erin" << QString() << accounts + "erin,erinpass1,0,none,128\r\n";
    QTest::newRow("a rule refuses") << "ab"
                                    << "User name must be 4 to 16 characters" << accounts;
    QTest::newRow("taken") << "ALICE"
                           << "Username exist" << accounts;
}

void AccountsWindowTest::addAccount()
{
    QFETCH(QString, username);
    QFETCH(QString, message);
    QFETCH(QByteArray, accountsAfter);
    openWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_N, Qt::ControlModifier);
    auto *dialog = openedDialog<AddAccountDialog>();
    QVERIFY(dialog);
    QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("txtUsername")), username);
    QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword")),
                     QStringLiteral("erinpass1"));
    QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("txtRepeatPassword")),
                     QStringLiteral("erinpass1"));
    dialog->findChild<QRadioButton *>(QStringLiteral("optFemale"))->setChecked(true);
    dialog->findChild<QCheckBox *>(QStringLiteral("chkWarp"))->setChecked(true);
    submit(dialog);
    if (message.isEmpty()) {
        QTRY_COMPARE(m_server->accounts(), accountsAfter);
        // The new account is selected once the table shows it.
        QTRY_COMPARE(
            table()->currentIndex().siblingAtColumn(AccountTableModel::UsernameColumn).data(),
            QVariant(username));
        QVERIFY(m_boxes->shown.isEmpty());
    } else {
        QTRY_COMPARE(m_boxes->shown.size(), 1);
        QCOMPARE(m_boxes->shown.constFirst().text, message);
        QCOMPARE(m_server->accounts(), accountsAfter);
    }
}

void AccountsWindowTest::filterDownSelectsFirstRow()
{
    openWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window->findChild<QLineEdit *>(QStringLiteral("txtFilter")), Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), table());
    QCOMPARE(table()->currentIndex().row(), 0);
    QVERIFY(table()->selectionModel()->isRowSelected(0));
    QTest::keyClick(table(), Qt::Key_Delete);
    auto *remove = openedDialog<RemoveAccountDialog>();
    QVERIFY(remove);
    QVERIFY(remove->findChild<QLabel *>(QStringLiteral("lblQuestion"))->text().contains("alice"));
}

void AccountsWindowTest::windowAnswersDuringChange_data()
{
    QTest::addColumn<bool>("closed"); // the window is closed while the change waits
    QTest::newRow("open") << false;
    QTest::newRow("closed meanwhile") << true;
}

// Another program holds the account file's lock for half a second: the removal waits for it,
// the window does not, and a close waits for the outcome.
void AccountsWindowTest::windowAnswersDuringChange()
{
    QFETCH(bool, closed);
    openWindow();
    // On a thread of its own: a close that waits for the change must not wait for the test.
    QSemaphore locked;
    const std::unique_ptr<QThread> holder(QThread::create([this, &locked] {
        UpdateLock lock(QFileInfo(m_server->accountFile()).canonicalFilePath() + ".lock");
        locked.release(lock.acquire(0) ? 0 : 1);
        QThread::msleep(500);
    }));
    holder->start();
    const auto join = qScopeGuard([&holder] { holder->wait(); });
    QVERIFY(locked.tryAcquire(1, 5000));
    select(QStringLiteral("bob"));
    m_window->removeAccount();
    openedDialog<RemoveAccountDialog>()
        ->findChild<QPushButton *>(QStringLiteral("cmdRemove"))
        ->click();

    QCOMPARE(m_window->cursor().shape(), Qt::BusyCursor);
    for (const char *button : {"cmdPassword", "cmdEdit", "cmdRemove"})
        QVERIFY(!m_window->findChild<QPushButton *>(QLatin1String(button))->isEnabled());
    m_window->findChild<QLineEdit *>(QStringLiteral("txtFilter"))->setText(QStringLiteral("b?b"));
    // Well within the half second the change is held for, with room for a loaded machine.
    QTRY_COMPARE_WITH_TIMEOUT(m_window->model()->rowCount(), 1, 200);
    auto *status = m_window->findChild<QLabel *>(QStringLiteral("lblStatus"));
    QCOMPARE(status->text(), QStringLiteral("Changing bob…"));
    QVERIFY(m_window->isChanging());
    if (closed) {
        m_window->close();
        QVERIFY(!m_window->isChanging());
    }
    QTRY_COMPARE(m_window->model()->rowCount(), 0);
    QCOMPARE(status->text(), m_window->model()->statusText());
    QVERIFY(m_boxes->shown.isEmpty());
    QVERIFY(!m_server->accounts().contains("bob,"));
}

void AccountsWindowTest::accessibleNames()
{
    openWindow();
    const auto nameOf = [](QObject *object) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(object);
        return accessible ? accessible->text(QAccessible::Name) : QString();
    };
    QCOMPARE(nameOf(table()), QStringLiteral("Accounts"));
    QCOMPARE(nameOf(m_window->findChild<QLineEdit *>(QStringLiteral("txtFilter"))),
             QStringLiteral("Filter"));

    // Every control a Tab reaches, in the window and in each dialog, is named.
    select(QStringLiteral("alice"));
    for (const char *button : {"cmdPassword", "cmdEdit", "cmdRemove"})
        m_window->findChild<QPushButton *>(QLatin1String(button))->click();
    QVERIFY(m_window->findChild<PasswordDialog *>());
    QVERIFY(m_window->findChild<AccountDetailsDialog *>());
    QVERIFY(m_window->findChild<RemoveAccountDialog *>());
    for (QWidget *widget : m_window->findChildren<QWidget *>()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            QVERIFY2(!nameOf(widget).isEmpty(), qPrintable(widget->objectName()));
    }
}

void AccountsWindowTest::tabOrder()
{
    openWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    select(QStringLiteral("alice"));
    m_window->findChild<QLineEdit *>(QStringLiteral("txtFilter"))->setFocus();
    QCOMPARE(tabWalk(m_window.get(), 6), (QStringList{"txtFilter", "tblAccounts", "cmdPassword",
                                                      "cmdEdit", "cmdRemove", "chkShowPasswords"}));
}

void AccountsWindowTest::ctrlMOpensOneWindow()
{
    frmKeltoAccountCreator main(m_server->path());
    main.show();
    // The shortcut belongs to the main window: it works while that window is the active one.
    const auto pressCtrlM = [&main] {
        main.activateWindow();
        if (!QTest::qWaitForWindowActive(&main))
            qWarning("the main window did not become active");
        QTest::keyClick(&main, Qt::Key_M, Qt::ControlModifier);
    };
    pressCtrlM();
    AccountsWindow *opened = main.accountsWindow();
    QVERIFY(opened);
    pressCtrlM();
    QCOMPARE(main.accountsWindow(), opened);
    QCOMPARE(opened->applicationFolder(), m_server->path());

    // Another server folder chosen: the next Ctrl+M opens a window on it.
    const ServerFolder other(accounts);
    main.setServerFolderChooser([&other](QWidget *, const QString &) { return other.path(); });
    main.changeServerFolder();
    pressCtrlM();
    QVERIFY(main.accountsWindow());
    QCOMPARE(main.accountsWindow()->applicationFolder(), other.path());
}

QTEST_MAIN(AccountsWindowTest)
#include "tst_accountswindow.moc"

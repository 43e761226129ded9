#include "tests/support/ServerFolder.h"
#include "tests/ui/ModalMessageCatcher.h"
#include "tests/ui/WindowProbe.h"
#include "ui/Module1.h"
#include "ui/frmGmSelect.h"
#include "ui/frmKeltoAccountCreator.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QByteArray twoAccounts = "alice,secret1,0,alice@example.org,0\r\nbob,hunter22,1,none,0\r\n";

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startState();
    void layout_data();
    void layout();
    void tabOrder();
    void upAndDownMoveBetweenGenders_data();
    void upAndDownMoveBetweenGenders();
    void enterAndEscapePressNothing();

    void create_data();
    void create();
    void duplicate();
    void refusedEntry_data();
    void refusedEntry();
    void fileErrorKeepsEntry();
    void longRecordKeepsItsEnd();

    void gmTotalReachesRecord_data();
    void gmTotalReachesRecord();
    void gmWindowOpensOnce();
    void clearResetsGmTotal();
    void exitClosesEverything();
    void closingMainLeavesGmWindowRunning();

private:
    void openWindow(const QString &folder);
    void typeEntry(const QString &username, const QString &password, const QString &email);
    void click(const char *name);
    frmGmSelect *openGmWindow();
    QString text(const char *name) const;
    int runEventLoop(const std::function<void()> &step);

    std::unique_ptr<ServerFolder> m_server;
    std::unique_ptr<WorkingFolder> m_working;
    std::unique_ptr<ModalMessageCatcher> m_boxes;
    std::unique_ptr<frmKeltoAccountCreator> m_window;
};

void MainWindowTest::init()
{
    Module1::gmFlagTotal = 0;
    m_server = std::make_unique<ServerFolder>(twoAccounts);
    // kAdd.tmp is made in the working folder; keep it inside the throwaway folder.
    m_working = std::make_unique<WorkingFolder>(m_server->workFolder());
    m_boxes = std::make_unique<ModalMessageCatcher>();
    openWindow(m_server->path());
}

void MainWindowTest::cleanup()
{
    m_window.reset();
    m_boxes.reset();
    m_working.reset();
    m_server.reset();
    for (QWidget *window : QApplication::topLevelWidgets())
        delete qobject_cast<frmGmSelect *>(window);
}

void MainWindowTest::openWindow(const QString &folder)
{
    m_window = std::make_unique<frmKeltoAccountCreator>(folder);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void MainWindowTest::typeEntry(const QString &username, const QString &password,
                               const QString &email)
{
    QTest::keyClicks(control<QLineEdit>(m_window.get(), "txtUsername"), username);
    QTest::keyClicks(control<QLineEdit>(m_window.get(), "txtPassword"), password);
    QTest::keyClicks(control<QLineEdit>(m_window.get(), "txtEmail"), email);
}

void MainWindowTest::click(const char *name)
{
    QTest::mouseClick(control<QAbstractButton>(m_window.get(), name), Qt::LeftButton);
}

QString MainWindowTest::text(const char *name) const
{
    if (auto *box = m_window->findChild<QLineEdit *>(QLatin1String(name)))
        return box->text();
    return control<QLabel>(m_window.get(), name)->text();
}

frmGmSelect *MainWindowTest::openGmWindow()
{
    click("cmdGM");
    return m_window->gmWindow();
}

void MainWindowTest::startState()
{
    QCOMPARE(text("txtUsername"), QString());
    QCOMPARE(text("txtPassword"), QString());
    QCOMPARE(text("txtEmail"), QString());
    QCOMPARE(text("lblKadd"), QString());
    QVERIFY(control<QRadioButton>(m_window.get(), "optGenderMale")->isChecked());
    QVERIFY(!control<QRadioButton>(m_window.get(), "optGenderFemale")->isChecked());
    QCOMPARE(QApplication::focusWidget(), control<QWidget>(m_window.get(), "txtUsername"));
    QCOMPARE(m_window->applicationFolder(), m_server->path());
    QCOMPARE(control<QLineEdit>(m_window.get(), "txtPassword")->echoMode(), QLineEdit::Normal);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Kelto Account Creator by Falmoor"));
    QCOMPARE(m_window->size(), QSize(510, 385));
    QVERIFY(!m_window->windowIcon().isNull());
}

void MainWindowTest::layout_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips"); // left, top, width, height
    QTest::addColumn<bool>("sizedToText");

    const auto row = [](const char *name, const char *caption, QRect rect, bool sized = false) {
        QTest::newRow(name) << QString::fromLatin1(caption) << rect << sized;
    };
    row("lblKadd", "", {360, 360, 6975, 375});
    row("lblUsername", "Username", {1320, 1080, 1575, 255});
    row("txtUsername", "", {3000, 1080, 1935, 285});
    row("lblUsername1", "(4-16 Characters)", {5160, 1080, 1470, 195}, true);
    row("lblPassword", "Password", {1320, 1680, 1575, 255});
    row("txtPassword", "", {3000, 1680, 1935, 285});
    row("lblPassword1", "(4-16 Characters)", {5160, 1680, 1470, 195}, true);
    row("lblGender", "Gender", {1320, 2280, 1575, 255});
    row("optGenderMale", "Male", {3000, 2280, 735, 255});
    row("optGenderFemale", "Female", {3960, 2280, 900, 255});
    row("lblEmail", "Email", {1320, 2880, 1575, 255});
    row("txtEmail", "", {3000, 2880, 1935, 285});
    row("cmdGM", "Create GM", {3120, 3360, 1815, 495});
    row("lblGmMode", "Gm Mode", {1320, 3480, 1575, 255});
    row("cmdCreate", "Create Account", {780, 4440, 1455, 615});
    row("cmdClear", "Clear", {3240, 4440, 1335, 615});
    row("CmdExit", "Exit", {5520, 4440, 1335, 615});
}

void MainWindowTest::layout()
{
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    QFETCH(bool, sizedToText);

    const QWidget *widget = control<QWidget>(m_window.get(), QTest::currentDataTag());
    QVERIFY(widget);
    const QRect expected(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(widget->pos(), expected.topLeft());
    QCOMPARE(widget->size(), sizedToText ? widget->sizeHint() : expected.size());

    if (auto *label = qobject_cast<const QLabel *>(widget))
        QCOMPARE(label->text(), caption);
    else if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        QCOMPARE(button->text(), caption);
    if (auto *button = qobject_cast<const QPushButton *>(widget))
        QVERIFY(!button->autoDefault() && !button->isDefault());
}

void MainWindowTest::tabOrder()
{
    const QStringList maleSelected{"txtUsername", "txtPassword", "optGenderMale",
                                   "txtEmail",    "cmdCreate",   "cmdClear",
                                   "CmdExit",     "cmdGM",       "txtUsername"};
    QCOMPARE(tabWalk(m_window.get(), 9), maleSelected);

    // With Female selected the gender stop is Female, and Clear moves it back to Male.
    click("optGenderFemale");
    control<QWidget>(m_window.get(), "txtUsername")->setFocus();
    QCOMPARE(tabWalk(m_window.get(), 4),
             QStringList({"txtUsername", "txtPassword", "optGenderFemale", "txtEmail"}));
    click("cmdClear");
    control<QWidget>(m_window.get(), "txtUsername")->setFocus();
    QCOMPARE(tabWalk(m_window.get(), 3), maleSelected.mid(0, 3));
}

void MainWindowTest::upAndDownMoveBetweenGenders_data()
{
    QTest::addColumn<bool>("femaleBefore");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("femaleAfter");

    QTest::newRow("Down from Male") << false << int(Qt::Key_Down) << true;
    QTest::newRow("Up from Female") << true << int(Qt::Key_Up) << false;
    QTest::newRow("Up from Male stays") << false << int(Qt::Key_Up) << false;
    QTest::newRow("Down from Female stays") << true << int(Qt::Key_Down) << true;
    QTest::newRow("Right from Male, as before") << false << int(Qt::Key_Right) << true;
}

void MainWindowTest::upAndDownMoveBetweenGenders()
{
    QFETCH(bool, femaleBefore);
    QFETCH(int, key);
    QFETCH(bool, femaleAfter);

    if (femaleBefore)
        click("optGenderFemale");
    auto *from =
        control<QRadioButton>(m_window.get(), femaleBefore ? "optGenderFemale" : "optGenderMale");
    from->setFocus();
    QTest::keyClick(from, Qt::Key(key));

    QCOMPARE(m_window->isMaleSelected(), !femaleAfter);
    QCOMPARE(QApplication::focusWidget()->objectName(),
             QLatin1String(femaleAfter ? "optGenderFemale" : "optGenderMale"));
}

void MainWindowTest::enterAndEscapePressNothing()
{
    typeEntry("carol", "secret9", "");
    for (const char *name : {"txtEmail", "cmdCreate", "CmdExit"}) {
        auto *widget = control<QWidget>(m_window.get(), name);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
        QTest::keyClick(widget, Qt::Key_Enter);
        QTest::keyClick(widget, Qt::Key_Escape);
    }
    QVERIFY(m_window->isVisible());
    QVERIFY(m_boxes->shown.isEmpty());
    QCOMPARE(m_server->accounts(), twoAccounts);
    QCOMPARE(text("txtUsername"), QStringLiteral("carol"));
}

void MainWindowTest::create_data()
{
    QTest::addColumn<bool>("female");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("record");

    QTest::newRow("male") << false << "carol@example.org"
                          << "carol,secret9,1,carol@example.org,0";
    QTest::newRow("female, no e-mail") << true << ""
                                       << "carol,secret9,0,none,0";
    QTest::newRow("e-mail of spaces") << false << "   "
                                      << "carol,secret9,1,   ,0";
}

void MainWindowTest::create()
{
    QFETCH(bool, female);
    QFETCH(QString, email);
    QFETCH(QString, record);

    typeEntry("carol", "secret9", email);
    if (female)
        click("optGenderFemale");
    click("cmdCreate");

    QVERIFY(m_boxes->shown.isEmpty());
    QCOMPARE(m_server->accounts(), twoAccounts + record.toUtf8() + "\r\n");
    QCOMPARE(text("lblKadd"), record);
    QCOMPARE(text("txtUsername"), QString());
    QCOMPARE(text("txtPassword"), QString());
    QCOMPARE(text("txtEmail"), QString());
    QVERIFY(m_window->isMaleSelected());
    QVERIFY(!QFile::exists(m_server->tempFile()));
}

void MainWindowTest::duplicate()
{
    typeEntry("ALICE", "other77", "x@example.org");
    click("optGenderFemale");
    Module1::gmFlagTotal = 384;
    QString usernameWhileShown;
    m_boxes->onShow = [&] {
        usernameWhileShown = text("txtUsername");
    };
    click("cmdCreate");

    QCOMPARE(m_boxes->shown.size(), 1);
    const ModalMessageCatcher::Shown box = m_boxes->shown.first();
    QCOMPARE(box.text, QStringLiteral("Username exist"));
    QCOMPARE(box.title, QStringLiteral("Kelto Account Creator"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // The entry is emptied only once the operator has read the box.
    QCOMPARE(usernameWhileShown, QStringLiteral("ALICE"));

    QCOMPARE(text("txtUsername"), QString());
    QCOMPARE(text("txtPassword"), QString());
    QCOMPARE(text("txtEmail"), QString());
    QVERIFY(m_window->isMaleSelected());
    QCOMPARE(text("lblKadd"), QStringLiteral("ALICE,other77,0,x@example.org,384"));
    QCOMPARE(Module1::gmFlagTotal, 0);
    QCOMPARE(m_server->accounts(), twoAccounts);
    QVERIFY(!QFile::exists(m_server->tempFile()));
}

void MainWindowTest::refusedEntry_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("emailAfter");

    QTest::newRow("no username") << ""
                                 << ""
                                 << ""
                                 << "You must enter a user name"
                                 << "Username is required"
                                 << "";
    QTest::newRow("short password, e-mail defaulted") << "carol"
                                                      << "abc"
                                                      << ""
                                                      << "Password must be 4 to 16 characters"
                                                      << "Invalid Length"
                                                      << "none";
    QTest::newRow("four spaces") << "    "
                                 << "secret9"
                                 << "c@x"
                                 << "User name must be 4 to 16 characters"
                                 << "Invalid Length"
                                 << "c@x";
    QTest::newRow("inner space") << "ca rol"
                                 << "secret9"
                                 << "c@x"
                                 << "No spaces in User Name"
                                 << "No Spaces"
                                 << "c@x";
    QTest::newRow("comma") << "carol"
                           << "sec,ret9"
                           << "c@x"
                           << "No commas in Password"
                           << "Invalid Character"
                           << "c@x";
}

void MainWindowTest::refusedEntry()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, email);
    QFETCH(QString, message);
    QFETCH(QString, title);
    QFETCH(QString, emailAfter);

    click("optGenderFemale");
    Module1::gmFlagTotal = 384;
    typeEntry(username, password, email);
    click("cmdCreate");

    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_boxes->shown.first().text, message);
    QCOMPARE(m_boxes->shown.first().title, title);
    QCOMPARE(m_boxes->shown.first().icon, QMessageBox::Critical);
    QCOMPARE(m_boxes->shown.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(text("txtUsername"), username);
    QCOMPARE(text("txtPassword"), password);
    QCOMPARE(text("txtEmail"), emailAfter);
    QVERIFY(!m_window->isMaleSelected());
    QCOMPARE(text("lblKadd"), QString());
    QCOMPARE(Module1::gmFlagTotal, 384);
    QCOMPARE(m_server->accounts(), twoAccounts);
}

void MainWindowTest::fileErrorKeepsEntry()
{
    QVERIFY(QFile::remove(m_server->accountFile()));
    typeEntry("carol", "secret9", "c@x");
    Module1::gmFlagTotal = 128;
    click("cmdCreate");

    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_boxes->shown.first().title, QStringLiteral("Account File Error"));
    QCOMPARE(m_boxes->shown.first().icon, QMessageBox::Critical);
    QVERIFY2(m_boxes->shown.first().text.contains(QStringLiteral("kAdd.txt")),
             qPrintable(m_boxes->shown.first().text));
    QCOMPARE(text("txtUsername"), QStringLiteral("carol"));
    QCOMPARE(text("txtPassword"), QStringLiteral("secret9"));
    QCOMPARE(Module1::gmFlagTotal, 128);
    QVERIFY(!QFile::exists(m_server->accountFile()));
}

void MainWindowTest::longRecordKeepsItsEnd()
{
    const QString record = QStringLiteral("abcdefghijklmnop,ABCDEFGHIJKLMNOP,1,"
                                          "someone.with.a.long.address@mail.example.org,384");
    typeEntry("abcdefghijklmnop", "ABCDEFGHIJKLMNOP",
              "someone.with.a.long.address@mail.example.org");
    Module1::gmFlagTotal = 384;
    click("cmdCreate");

    QCOMPARE(m_server->accounts(), twoAccounts + record.toUtf8() + "\r\n");
    const auto *label = control<QLabel>(m_window.get(), "lblKadd");
    QVERIFY2(label->text().startsWith(QStringLiteral("abcdefghij")), qPrintable(label->text()));
    QVERIFY2(label->text().endsWith(QStringLiteral(".org,384")), qPrintable(label->text()));
    QVERIFY(label->text().contains(QChar(0x2026)));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    QCOMPARE(label->toolTip(), record);

    // A record that fits is shown whole, without a tooltip.
    typeEntry("carol", "secret9", "");
    click("cmdCreate");
    QCOMPARE(label->text(), QStringLiteral("carol,secret9,1,none,0"));
    QCOMPARE(label->toolTip(), QString());
}

void MainWindowTest::gmTotalReachesRecord_data()
{
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<bool>("done");
    QTest::addColumn<int>("gmField");

    QTest::newRow("Select ALL") << QStringList{"chkSelectAll"} << true << 65535;
    QTest::newRow("WARP and WHOIS") << QStringList{"chkWarp", "chkWhois"} << true << 384;
    QTest::newRow("Select ALL, BROADCAST off")
        << QStringList{"chkSelectAll", "chkBroadcast"} << true << 65534;
    QTest::newRow("nothing ticked") << QStringList{} << true << 0;
    QTest::newRow("close box") << QStringList{"chkWarp", "chkWhois"} << false << 0;
}

void MainWindowTest::gmTotalReachesRecord()
{
    QFETCH(QStringList, ticks);
    QFETCH(bool, done);
    QFETCH(int, gmField);

    Module1::gmFlagTotal = 7; // opening the GM window starts from 0
    frmGmSelect *gm = openGmWindow();
    QVERIFY(gm);
    for (const QString &name : ticks)
        QTest::mouseClick(control<QCheckBox>(gm, qPrintable(name)), Qt::LeftButton);
    if (done)
        QTest::mouseClick(control<QPushButton>(gm, "cmdDone"), Qt::LeftButton);
    else
        gm->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_window->gmWindow());

    typeEntry("carol", "secret9", "");
    click("cmdCreate");
    typeEntry("dave", "secret8", "");
    click("cmdCreate");

    QVERIFY(m_boxes->shown.isEmpty());
    QCOMPARE(m_server->accounts(), twoAccounts + "carol,secret9,1,none," +
                                       QByteArray::number(gmField) +
                                       "\r\ndave,secret8,1,none,0\r\n");
}

void MainWindowTest::gmWindowOpensOnce()
{
    frmGmSelect *gm = openGmWindow();
    QTest::mouseClick(control<QCheckBox>(gm, "chkWarp"), Qt::LeftButton);
    QCOMPARE(openGmWindow(), gm);

    int gmWindows = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        gmWindows += qobject_cast<frmGmSelect *>(window) != nullptr;
    QCOMPARE(gmWindows, 1);
    QVERIFY(gm->isVisible());
    QVERIFY(control<QCheckBox>(gm, "chkWarp")->isChecked());
    QVERIFY(!gm->parent());
}

void MainWindowTest::clearResetsGmTotal()
{
    frmGmSelect *gm = openGmWindow();
    QTest::mouseClick(control<QCheckBox>(gm, "chkSelectAll"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>(gm, "cmdDone"), Qt::LeftButton);
    typeEntry("carol", "secret9", "");
    m_window->keptValues().gmFlagsUsed = 65535;
    click("cmdClear");

    QCOMPARE(Module1::gmFlagTotal, 0);
    QCOMPARE(m_window->keptValues().gmFlagsUsed, 0);
    QCOMPARE(text("txtUsername"), QString());
}

int MainWindowTest::runEventLoop(const std::function<void()> &step)
{
    // A watchdog, so a program that fails to end fails the test instead of hanging it.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    QTimer::singleShot(0, step);
    return QApplication::exec();
}

void MainWindowTest::exitClosesEverything()
{
    QPointer<frmGmSelect> gm = openGmWindow();
    QTest::mouseClick(control<QCheckBox>(gm, "chkWarp"), Qt::LeftButton);
    QCOMPARE(runEventLoop([this] { click("CmdExit"); }), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(!m_window->isVisible());
    QVERIFY(!gm);
    QCOMPARE(Module1::gmFlagTotal, 0); // the GM window went without Done
    QVERIFY(m_boxes->shown.isEmpty());
}

void MainWindowTest::closingMainLeavesGmWindowRunning()
{
    QPointer<frmGmSelect> gm = openGmWindow();
    bool gmOutlivedMain = false;
    const int exitCode = runEventLoop([&] {
        m_window->close();
        QTimer::singleShot(100, [&] {
            gmOutlivedMain = gm && gm->isVisible();
            if (gm)
                gm->close();
        });
    });
    QCOMPARE(exitCode, 0);
    QVERIFY(gmOutlivedMain);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"

#include "core/CreateAccount.h"
#include "tests/core/FakeEntryView.h"
#include "tests/support/ServerFolder.h"

#include <QFileInfo>
#include <QTest>

// The Create Account command as the operator sees it: the message box, the record label, and
// what the entry and the GM flags look like afterwards.
class CreateAccountTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedEntryChangesNothing();
    void createdRecordIsAppendedAndEntryCleared_data();
    void createdRecordIsAppendedAndEntryCleared();
    void takenNameSaysUsernameExistAndClears();
    void fileErrorKeepsEntryForAnotherTry();
    void nextAccountDoesNotInheritGmFlags();
};

namespace {

const QByteArray accounts = "Alice,pw,1,none,0\r\n";

// A view on a throwaway server folder, with the working folder set for kAdd.tmp.
struct Setup
{
    ServerFolder server{accounts};
    WorkingFolder working{server.workFolder()};
    FakeEntryView view;
    Setup() { view.folder = server.path(); }
};

bool entryIsEmpty(const FakeEntryView &view)
{
    return view.text(EntryBox::Username).isEmpty() && view.text(EntryBox::Password).isEmpty() &&
           view.text(EntryBox::Email).isEmpty() && view.isMaleSelected();
}

} // namespace

void CreateAccountTest::refusedEntryChangesNothing()
{
    Setup s;
    s.view.type("bob", "secret", QString());
    s.view.male = false;
    s.view.recordLabel = "earlier,line";
    s.view.gmFlags = 384;
    s.view.kept.gmFlagsUsed = 7;

    QCOMPARE(CreateAccount(s.view), CreateOutcome::Refused);
    QCOMPARE(s.view.messages.size(), 1);
    QCOMPARE(s.view.messages[0].text, QStringLiteral("User name must be 4 to 16 characters"));
    QCOMPARE(s.view.messages[0].title, QStringLiteral("Invalid Length"));
    QCOMPARE(s.view.messages[0].icon, MessageIcon::Critical);
    QCOMPARE(s.view.text(EntryBox::Username), QStringLiteral("bob"));
    QCOMPARE(s.view.text(EntryBox::Email), QStringLiteral("none"));
    QCOMPARE(s.view.male, false);
    QCOMPARE(s.view.recordLabel, QStringLiteral("earlier,line"));
    QCOMPARE(s.view.gmFlags, 384);
    QCOMPARE(s.view.kept.gmFlagsUsed, 7);
    QCOMPARE(s.server.accounts(), accounts);
    QVERIFY(!QFileInfo::exists(s.server.tempFile()));
}

void CreateAccountTest::createdRecordIsAppendedAndEntryCleared_data()
{
    QTest::addColumn<bool>("male");
    QTest::addColumn<QString>("email");
    QTest::addColumn<int>("gmTotal");
    QTest::addColumn<QString>("line");

    QTest::newRow("female, no e-mail, no GM flags")
        << false << QString() << 0 << QStringLiteral("bobby,secret,0,none,0");
    QTest::newRow("male, e-mail, WARP and WHOIS")
        << true << QStringLiteral("b@x y") << 384 << QStringLiteral("bobby,secret,1,b@x y,384");
}

void CreateAccountTest::createdRecordIsAppendedAndEntryCleared()
{
    QFETCH(bool, male);
    QFETCH(QString, email);
    QFETCH(int, gmTotal);
    QFETCH(QString, line);

    Setup s;
    s.view.type("bobby", "secret", email);
    s.view.male = male;
    s.view.gmFlags = gmTotal;

    QCOMPARE(CreateAccount(s.view), CreateOutcome::Created);
    QCOMPARE(s.view.messages.size(), 0); // the label is the only confirmation
    QCOMPARE(s.view.recordLabel, line);
    QCOMPARE(s.view.kept.lastRecordLine, line);
    QCOMPARE(s.server.accounts(), accounts + line.toUtf8() + "\r\n");
    QCOMPARE(s.view.clears, 1);
    QVERIFY(entryIsEmpty(s.view));
    QCOMPARE(s.view.gmFlags, 0);
    QCOMPARE(s.view.kept.gmFlagsUsed, 0);
    QVERIFY(!QFileInfo::exists(s.server.tempFile()));
}

void CreateAccountTest::takenNameSaysUsernameExistAndClears()
{
    Setup s;
    s.view.type("ALICE", "secret", QString());
    s.view.male = false;
    s.view.gmFlags = 65535;

    QCOMPARE(CreateAccount(s.view), CreateOutcome::Duplicate);
    QCOMPARE(s.view.messages.size(), 1);
    QCOMPARE(s.view.messages[0].text, QStringLiteral("Username exist"));
    QCOMPARE(s.view.messages[0].title, std::nullopt); // the application's title
    QCOMPARE(s.view.messages[0].icon, MessageIcon::None);
    QCOMPARE(s.view.messages[0].usernameShown, QStringLiteral("ALICE")); // cleared only after
    QCOMPARE(s.view.recordLabel, QStringLiteral("ALICE,secret,0,none,65535"));
    QVERIFY(entryIsEmpty(s.view));
    QCOMPARE(s.view.gmFlags, 0);
    QCOMPARE(s.view.kept.gmFlagsUsed, 0);
    QCOMPARE(s.server.accounts(), accounts);
    QVERIFY(!QFileInfo::exists(s.server.tempFile()));
}

void CreateAccountTest::fileErrorKeepsEntryForAnotherTry()
{
    Setup s;
    QVERIFY(QFile::remove(s.server.accountFile()));
    s.view.type("bobby", "secret", "b@x");
    s.view.male = false;
    s.view.gmFlags = 384;

    QCOMPARE(CreateAccount(s.view), CreateOutcome::FileError);
    QCOMPARE(s.view.messages.size(), 1);
    QCOMPARE(s.view.messages[0].title, QStringLiteral("Account File Error"));
    QCOMPARE(s.view.messages[0].icon, MessageIcon::Critical);
    QVERIFY2(s.view.messages[0].text.contains(QDir::toNativeSeparators(s.server.accountFile())),
             qPrintable(s.view.messages[0].text));
    QCOMPARE(s.view.recordLabel, QStringLiteral("bobby,secret,0,b@x,384"));
    QCOMPARE(s.view.text(EntryBox::Username), QStringLiteral("bobby"));
    QCOMPARE(s.view.text(EntryBox::Password), QStringLiteral("secret"));
    QCOMPARE(s.view.text(EntryBox::Email), QStringLiteral("b@x"));
    QCOMPARE(s.view.male, false);
    QCOMPARE(s.view.gmFlags, 384);
    QCOMPARE(s.view.kept.gmFlagsUsed, 384);
    QCOMPARE(s.view.clears, 0);
    QVERIFY(!QFileInfo::exists(s.server.accountFile())); // never made up

    // The operator puts the file back and presses Create Account again.
    s.server.setAccounts(accounts);
    QCOMPARE(CreateAccount(s.view), CreateOutcome::Created);
    QCOMPARE(s.server.accounts(), accounts + "bobby,secret,0,b@x,384\r\n");
}

void CreateAccountTest::nextAccountDoesNotInheritGmFlags()
{
    Setup s;
    s.view.gmFlags = 384;
    s.view.type("bob1", "secret", QString());
    QCOMPARE(CreateAccount(s.view), CreateOutcome::Created);
    s.view.type("bob2", "secret", QString());
    QCOMPARE(CreateAccount(s.view), CreateOutcome::Created);
    QCOMPARE(s.server.accounts(), accounts + "bob1,secret,1,none,384\r\nbob2,secret,1,none,0\r\n");
}

QTEST_GUILESS_MAIN(CreateAccountTest)
#include "tst_createaccount.moc"

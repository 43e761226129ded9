#include "core/EntryValidation.h"
#include "core/PasswordGenerator.h"
#include "core/RecordEncoding.h"
#include "tests/core/FakeEntryView.h"

#include <QSet>
#include <QTest>

// The entry rules in their order, with the message text and title of the first one that fails,
// and the record line built from an accepted entry.
class ValidationTest : public QObject
{
    Q_OBJECT

private slots:
    void firstFailingRuleIsReported_data();
    void firstFailingRuleIsReported();
    void unstorableCharacterIsRefusedInEachField_data();
    void unstorableCharacterIsRefusedInEachField();
    void emptyEmailBecomesNoneEvenWhenALaterRuleFails_data();
    void emptyEmailBecomesNoneEvenWhenALaterRuleFails();
    void recordLine_data();
    void recordLine();
    void generatedPasswordsPassTheRulesAndAvoidLookAlikes();
};

namespace {

const QString length = QStringLiteral("Invalid Length");
const QString spaces = QStringLiteral("No Spaces");
const QString character = QStringLiteral("Invalid Character");

ValidationResult validate(FakeEntryView &view, const QString &username, const QString &password,
                          const QString &email)
{
    view.type(username, password, email);
    return ValidateEntry(view);
}

} // namespace

void ValidationTest::firstFailingRuleIsReported_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("text"); // empty: the entry passes
    QTest::addColumn<QString>("title");

    const QString ok = QStringLiteral("alice");
    const QString mail = QStringLiteral("a@b.c");
    const auto row = [](const char *name, const QString &u, const QString &p, const QString &e,
                        const char *text = "", const QString &title = {}) {
        QTest::newRow(name) << u << p << e << QString::fromUtf8(text) << title;
    };

    row("valid", ok, QStringLiteral("secret"), mail);
    row("non-ASCII letters and punctuation pass", QStringLiteral("Ärger.ß!"),
        QStringLiteral("pä$$wört"), QStringLiteral("é@x"));
    row("both empty: only the username", {}, {}, {}, "You must enter a user name",
        QStringLiteral("Username is required"));
    row("empty password", ok, {}, mail, "You must enter a password",
        QStringLiteral("Password is required"));
    row("four spaces are not empty", QStringLiteral("    "), QStringLiteral("secret"), mail,
        "User name must be 4 to 16 characters", length);
    row("username of 3", QStringLiteral("abc"), QStringLiteral("secret"), mail,
        "User name must be 4 to 16 characters", length);
    row("username of 17", QString(17, u'a'), QStringLiteral("secret"), mail,
        "User name must be 4 to 16 characters", length);
    row("username of 16, password of 4", QString(16, u'a'), QStringLiteral("abcd"), mail);
    row("password of 3", ok, QStringLiteral("abc"), mail, "Password must be 4 to 16 characters",
        length);
    row("password of 17", ok, QString(17, u'p'), mail, "Password must be 4 to 16 characters",
        length);
    row("username length before password length", QStringLiteral("abc"), QStringLiteral("abc"),
        mail, "User name must be 4 to 16 characters", length);
    row("leading space: length 4 passes, spaces fail", QStringLiteral(" abcd"),
        QStringLiteral("secret"), mail, "No spaces in User Name", spaces);
    row("inner space", QStringLiteral("ab cd"), QStringLiteral("secret"), mail,
        "No spaces in User Name", spaces);
    row("16 letters and trailing spaces", QString(16, u'a') + QStringLiteral("   "),
        QStringLiteral("secret"), mail, "No spaces in User Name", spaces);
    row("space in password", ok, QStringLiteral("sec ret"), mail, "No spaces in Password", spaces);
    row("only U+0020 is trimmed: a tab counts", QStringLiteral("\tabc"), QStringLiteral("secret"),
        mail, "User Name contains a character that cannot be stored", character);
    // One character outside the Basic Multilingual Plane is two UTF-16 units but counts once.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    row("16 characters beyond the BMP pass", emoji.repeated(16), QStringLiteral("secret"), mail);
    row("17 characters beyond the BMP are too long", emoji.repeated(17), QStringLiteral("secret"),
        mail, "User name must be 4 to 16 characters", length);
    row("2 characters beyond the BMP are too short", ok, emoji.repeated(2), mail,
        "Password must be 4 to 16 characters", length);
    row("e-mail of spaces passes", ok, QStringLiteral("secret"), QStringLiteral("   "));
    row("comma in username", QStringLiteral("al,ice"), QStringLiteral("secret"), mail,
        "No commas in User Name", character);
    row("comma in password", ok, QStringLiteral("sec,ret"), mail, "No commas in Password",
        character);
    row("comma in e-mail", ok, QStringLiteral("secret"), QStringLiteral("a,b@c"),
        "No commas in Email", character);
    row("space rule before comma rule", QStringLiteral("a, b"), QStringLiteral("secret"), mail,
        "No spaces in User Name", spaces);
    row("comma in password before comma in e-mail", ok, QStringLiteral("sec,ret"),
        QStringLiteral(","), "No commas in Password", character);
    row("every comma rule before any character rule", QStringLiteral("ali\x01"),
        QStringLiteral("secret"), QStringLiteral("a,b"), "No commas in Email", character);
}

void ValidationTest::firstFailingRuleIsReported()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, email);
    QFETCH(QString, text);
    QFETCH(QString, title);

    if (text.isEmpty() && !(canBeStored(username) && canBeStored(password)))
        QSKIP("the system code page cannot hold these characters");
    FakeEntryView view;
    const ValidationResult result = validate(view, username, password, email);
    QCOMPARE(result.passed, text.isEmpty());
    QCOMPARE(result.text, text);
    QCOMPARE(result.title, title);
    // Typed text is never altered: only an empty e-mail box is written to.
    QCOMPARE(view.text(EntryBox::Username), username);
    QCOMPARE(view.text(EntryBox::Password), password);
    if (!email.isEmpty())
        QCOMPARE(view.text(EntryBox::Email), email);
}

void ValidationTest::unstorableCharacterIsRefusedInEachField_data()
{
    QTest::addColumn<int>("field"); // 0 username, 1 password, 2 e-mail
    QTest::addColumn<QString>("bad");

    const char *const fieldNames[] = {"username", "password", "e-mail"};
    const struct
    {
        const char *name;
        QString text;
    } characters[] = {
        {"U+0000", QString(QChar(0))},
        {"tab", QStringLiteral("\t")},
        {"CR", QStringLiteral("\r")},
        {"LF", QStringLiteral("\n")},
        {"CR LF", QStringLiteral("\r\n")},
        {"U+001F", QString(QChar(0x1f))},
        {"U+007F", QString(QChar(0x7f))},
        {"lone high surrogate", QString(QChar(0xd800))},
        {"lone low surrogate", QString(QChar(0xdc00))},
        {"U+0080", QString(QChar(0x80))},
        {"U+0085 next line", QString(QChar(0x85))},
        {"U+009B terminal escape", QString(QChar(0x9b))},
        {"U+2028 line separator", QString(QChar(0x2028))},
        {"U+2029 paragraph separator", QString(QChar(0x2029))},
        {"U+FEFF byte-order mark", QString(QChar(0xfeff))},
        {"U+FFFE", QString(QChar(0xfffe))},
        {"U+FFFF", QString(QChar(0xffff))},
    };
    for (int field = 0; field < 3; ++field) {
        for (const auto &c : characters)
            QTest::addRow("%s in %s", c.name, fieldNames[field]) << field << c.text;
    }
}

void ValidationTest::unstorableCharacterIsRefusedInEachField()
{
    QFETCH(int, field);
    QFETCH(QString, bad);

    QString texts[] = {QStringLiteral("alice"), QStringLiteral("secret"), QStringLiteral("a@b.c")};
    texts[field].insert(2, bad);
    const QString labels[] = {QStringLiteral("User Name"), QStringLiteral("Password"),
                              QStringLiteral("Email")};

    FakeEntryView view;
    const ValidationResult result = validate(view, texts[0], texts[1], texts[2]);
    QVERIFY(!result.passed);
    QCOMPARE(result.text,
             labels[field] + QStringLiteral(" contains a character that cannot be stored"));
    QCOMPARE(result.title, character);
    QVERIFY(!canBeStored(texts[field]));
}

void ValidationTest::emptyEmailBecomesNoneEvenWhenALaterRuleFails_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("failure"); // empty: the entry passes

    QTest::newRow("passes") << QStringLiteral("alice") << QStringLiteral("secret") << QString();
    QTest::newRow("short password") << QStringLiteral("alice") << QStringLiteral("abc")
                                    << QStringLiteral("Password must be 4 to 16 characters");
    QTest::newRow("space in username") << QStringLiteral("al ice") << QStringLiteral("secret")
                                       << QStringLiteral("No spaces in User Name");
    QTest::newRow("comma in username") << QStringLiteral("al,ice") << QStringLiteral("secret")
                                       << QStringLiteral("No commas in User Name");
}

void ValidationTest::emptyEmailBecomesNoneEvenWhenALaterRuleFails()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, failure);

    FakeEntryView view;
    const ValidationResult result = validate(view, username, password, QString());
    QCOMPARE(result.text, failure);
    QCOMPARE(view.text(EntryBox::Email), QStringLiteral("none"));
    QCOMPARE(view.emailWrites, QList<QString>{QStringLiteral("none")});

    // Rules that fail before the e-mail step leave the box alone.
    FakeEntryView early;
    QCOMPARE(validate(early, username, QString(), QString()).text,
             QStringLiteral("You must enter a password"));
    QVERIFY(early.emailWrites.isEmpty());
}

void ValidationTest::recordLine_data()
{
    QTest::addColumn<qint16>("gender");
    QTest::addColumn<QString>("email");
    QTest::addColumn<qint32>("gmFlags");
    QTest::addColumn<QString>("line");

    QTest::newRow("male, ordinary")
        << qint16(1) << QStringLiteral("a@b.c") << 0 << QStringLiteral("alice,secret,1,a@b.c,0");
    QTest::newRow("female, no e-mail")
        << qint16(0) << QStringLiteral("none") << 0 << QStringLiteral("alice,secret,0,none,0");
    QTest::newRow("WARP and WHOIS")
        << qint16(1) << QStringLiteral("none") << 384 << QStringLiteral("alice,secret,1,none,384");
    QTest::newRow("every GM flag") << qint16(0) << QStringLiteral("x y") << 65535
                                   << QStringLiteral("alice,secret,0,x y,65535");
}

void ValidationTest::recordLine()
{
    QFETCH(qint16, gender);
    QFETCH(QString, email);
    QFETCH(qint32, gmFlags);
    QFETCH(QString, line);

    QCOMPARE(
        BuildRecordLine(QStringLiteral("alice"), QStringLiteral("secret"), gender, email, gmFlags),
        line);
}

void ValidationTest::generatedPasswordsPassTheRulesAndAvoidLookAlikes()
{
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        const QString password = generatePassword();
        QCOMPARE(password.size(), 12);
        QVERIFY2(validateNewPassword(password).passed, qPrintable(password));
        for (const QChar c : password)
            QVERIFY2(c.isLetterOrNumber() && !QStringLiteral("0O1lI").contains(c),
                     qPrintable(password));
        seen.insert(password);
    }
    QCOMPARE(seen.size(), 200);
}

QTEST_GUILESS_MAIN(ValidationTest)
#include "tst_validation.moc"

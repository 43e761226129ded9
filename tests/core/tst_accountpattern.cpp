#include "core/AccountPattern.h"
#include "core/UsernameKey.h"

#include <QTest>

// kadd list and the Accounts window's filter pick accounts by one pattern: on ASCII bytes and
// on keys it must agree with itself.
class AccountPatternTest : public QObject
{
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
};

void AccountPatternTest::matches_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("matched");

    const QString wanderer = QStringLiteral("wanderer");

    QTest::newRow("empty matches all") << QString() << wanderer << true;
    QTest::newRow("only stars match an empty field") << "**" << QString() << true;
    QTest::newRow("contained") << "nde" << wanderer << true;
    QTest::newRow("not contained") << "wandx" << wanderer << false;
    QTest::newRow("any letter case") << "WAND" << QStringLiteral("Wanderer") << true;
    QTest::newRow("star: starts with") << "W*" << wanderer << true;
    QTest::newRow("star: whole field") << "a*" << wanderer << false;
    QTest::newRow("star: empty field") << "a*" << QString() << false;
    QTest::newRow("star: e-mail ends with")
        << "*@example.org" << QStringLiteral("Bob@Example.ORG") << true;
    QTest::newRow("star: end held") << "*@example" << QStringLiteral("bob@example.org") << false;
    QTest::newRow("runs do not overlap") << "a*a" << QStringLiteral("a") << false;
    QTest::newRow("question mark: whole field") << "wand?" << wanderer << false;
    QTest::newRow("question mark: one character") << "wand?rer" << wanderer << true;
    QTest::newRow("question mark takes a whole character")
        << "?bel" << QStringLiteral("Ábel") << true;
    QTest::newRow("last run of a key held to its end") << "*é" << QStringLiteral("éé") << true;
    QTest::newRow("decomposed finds composed")
        << "E\u0301l" << QStringLiteral("\u00E9lodie") << true;
    QTest::newRow("composed finds decomposed")
        << "\u00C9*" << QStringLiteral("E\u0301lodie") << true;
    QTest::newRow("folds to ASCII") << "SAM" << QStringLiteral("ſam") << true;
    QTest::newRow("pattern folds to ASCII") << "ſ*" << QStringLiteral("Sam") << true;
    QTest::newRow("non-ASCII in no ASCII field") << "é" << QStringLiteral("e") << false;
}

void AccountPatternTest::matches()
{
    QFETCH(QString, pattern);
    QFETCH(QString, field);
    QFETCH(bool, matched);

    const AccountPattern accountPattern(pattern);
    QCOMPARE(accountPattern.matches(field), matched);
    QCOMPARE(accountPattern.matchesKey(caseInsensitiveKey(field).toUtf8()), matched);
    // The bytes of an ASCII field are matched without decoding, the same way.
    if (field.toLatin1() == field.toUtf8())
        QCOMPARE(accountPattern.matchesAscii(field.toLatin1()), matched);
}

QTEST_GUILESS_MAIN(AccountPatternTest)
#include "tst_accountpattern.moc"

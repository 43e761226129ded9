#include "cli/OptionSuggestion.h"

#include <QtTest>

class OptionSuggestionTest : public QObject
{
    Q_OBJECT

private slots:
    void closest_data();
    void closest();
};

void OptionSuggestionTest::closest_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("meant"); // empty: no suggestion

    QTest::newRow("a letter left out") << "femal"
                                       << "female";
    QTest::newRow("two slips, other case") << "DRYRUM"
                                           << "dry-run";
    QTest::newRow("the start of a name") << "app"
                                         << "app-dir";
    QTest::newRow("a password") << "pw12" << QString();
    QTest::newRow("one letter is near every short name") << "v" << QString();
    QTest::newRow("one slip in two letters") << "gn"
                                             << "gm";
    QTest::newRow("a slip too many for a short word") << "gmx1" << QString();
}

void OptionSuggestionTest::closest()
{
    QFETCH(QString, typed);
    QFETCH(QString, meant);
    const QStringList known{"help", "version", "male",    "female",  "email",
                            "gm",   "dry-run", "app-dir", "generate"};
    QCOMPARE(closestName(typed, known), meant);
}

QTEST_GUILESS_MAIN(OptionSuggestionTest)
#include "tst_optionsuggestion.moc"

#include "core/internal/format/RecordFields.h"

#include <QTest>

// A line cut at its commas, the same as bytes and as text.
class RecordFieldsTest : public QObject
{
    Q_OBJECT

private slots:
    void cutsAtCommas_data();
    void cutsAtCommas();
};

void RecordFieldsTest::cutsAtCommas_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("gm");

    QTest::newRow("a record") << "bob,pw,1,bob@example.org,0" << 5 << "bob@example.org"
                              << "0";
    QTest::newRow("empty fields") << ",,,," << 5 << ""
                                  << "";
    QTest::newRow("one field short") << "bob,pw,1,bob@example.org" << 4 << "bob@example.org"
                                     << "";
    QTest::newRow("one field more") << "bob,pw,1,x,0,extra" << 6 << "x"
                                    << "0";
    QTest::newRow("no comma") << "bob" << 1 << ""
                              << "";
    QTest::newRow("not ASCII") << QStringLiteral("zoë,pw,0,zoë@example.org,2") << 5
                               << QStringLiteral("zoë@example.org") << "2";
}

void RecordFieldsTest::cutsAtCommas()
{
    QFETCH(QString, line);
    QFETCH(int, count);
    QFETCH(QString, email);
    QFETCH(QString, gm);
    const QByteArray bytes = line.toUtf8();
    const RecordFields text{QStringView(line)};
    const RecordFields raw{QByteArrayView(bytes)};

    QCOMPARE(text.count(), count);
    QCOMPARE(raw.count(), count);
    QCOMPARE(text.isRecord(), count == RecordFieldCount);
    QCOMPARE(text.field(EmailField), email);
    QCOMPARE(raw.field(GmFlagsField), gm.toUtf8());
    QCOMPARE(raw.isAscii(), bytes.size() == line.size());
    QCOMPARE(text.isAscii(), raw.isAscii());
}

QTEST_GUILESS_MAIN(RecordFieldsTest)
#include "tst_recordfields.moc"

#include "ui/AccountChange.h"

#include <QTest>

// What the Accounts window sends for an edit, without a window.
class AccountChangeTest : public QObject
{
    Q_OBJECT

private slots:
    void detailsSendOnlyWhatChanged_data();
    void detailsSendOnlyWhatChanged();
};

void AccountChangeTest::detailsSendOnlyWhatChanged_data()
{
    QTest::addColumn<bool>("male");
    QTest::addColumn<QString>("email");
    QTest::addColumn<int>("gmFlags");
    QTest::addColumn<QStringList>("sent"); // field and value of each

    // Shown: male, b@x, GM flags 384.
    QTest::newRow("nothing") << true << "b@x" << 384 << QStringList();
    QTest::newRow("the e-mail") << true << "c@x" << 384 << QStringList{"e-mail c@x"};
    QTest::newRow("the GM flags") << true << "b@x" << 16384 << QStringList{"GM flags 16384"};
    QTest::newRow("the gender") << false << "b@x" << 384 << QStringList{"gender 0"};
}

// A value nobody touched must never be written back over what another program changed
// meanwhile.
void AccountChangeTest::detailsSendOnlyWhatChanged()
{
    QFETCH(bool, male);
    QFETCH(QString, email);
    QFETCH(int, gmFlags);
    QFETCH(QStringList, sent);

    AccountRecord shown;
    shown.username = QStringLiteral("bob");
    shown.password = QStringLiteral("pw");
    shown.male = true;
    shown.email = QStringLiteral("b@x");
    shown.gmFlags = 384;
    const AccountChange change = detailsChange(shown, male, email, gmFlags);
    QVERIFY(!change.refused);
    QCOMPARE(change.edit.username, QStringLiteral("bob"));
    QStringList values;
    for (const FieldValue &value : change.edit.values) {
        const char *const name = value.field == EmailField     ? "e-mail"
                                 : value.field == GmFlagsField ? "GM flags"
                                 : value.field == GenderField  ? "gender"
                                                               : "another field";
        values << QStringLiteral("%1 %2").arg(QLatin1String(name), value.text);
    }
    QCOMPARE(values, sent);
}

QTEST_GUILESS_MAIN(AccountChangeTest)
#include "tst_accountchange.moc"

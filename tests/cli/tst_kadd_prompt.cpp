#include "cli/PasswordPrompt.h"

#include <QtTest>

Q_DECLARE_METATYPE(NewPassword::Outcome)

// The new password as the prompt hands it to add and passwd, with the lines fed in-process.
class KaddPromptTest : public QObject
{
    Q_OBJECT

private slots:
    void newPassword_data();
    void newPassword();
};

void KaddPromptTest::newPassword_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<NewPassword::Outcome>("outcome");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("asked");

    using Outcome = NewPassword::Outcome;
    QTest::newRow("typed twice alike")
        << true << QStringList{"pw12", "pw12"} << Outcome::Read << "pw12" << 2;
    QTest::newRow("typed twice differently")
        << true << QStringList{"pw12", "pw13"} << Outcome::Mismatch << QString() << 2;
    QTest::newRow("from a pipe, once")
        << false << QStringList{"pw12", "other"} << Outcome::Read << "pw12" << 1;
}

void KaddPromptTest::newPassword()
{
    QFETCH(bool, typed);
    QFETCH(QStringList, lines);
    QFETCH(NewPassword::Outcome, outcome);
    QFETCH(QString, password);
    QFETCH(int, asked);

    QStringList prompts;
    const PasswordSource source{typed, [&](const QString &prompt) -> std::optional<QString> {
                                    prompts.append(prompt);
                                    return lines.value(prompts.size() - 1);
                                }};
    const NewPassword read = readNewPassword(QStringLiteral("Password for bob: "), source);
    QCOMPARE(read.outcome, outcome);
    QCOMPARE(read.text, password);
    QCOMPARE(prompts.size(), asked);
}

QTEST_GUILESS_MAIN(KaddPromptTest)
#include "tst_kadd_prompt.moc"

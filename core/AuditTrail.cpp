#include "core/AuditTrail.h"

#include "core/AuditLog.h"
#include "core/GmFlags.h"
#include "core/TerminalText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <atomic>
#include <vector>

namespace {

std::atomic<int> waitLimitMs{0};
std::atomic<qsizetype> recordsNotTaken{0};

QString programName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("kelto-account-creator") : name;
}

class SystemLog : public AuditSink
{
public:
    void write(const QList<AuditRecord> &records) override
    {
        writeSystemLog(programName(), records, waitLimitMs);
    }
};

SystemLog systemLog;
std::atomic<AuditSink *> installed{nullptr};

// An error text is several lines for a message box; a log record is one.
QString oneLine(const QString &text)
{
    QStringList parts;
    for (QString part : text.split(u'\n', Qt::SkipEmptyParts)) {
        part = part.trimmed();
        if (part.endsWith(u'.'))
            part.chop(1);
        parts.append(part);
    }
    return parts.join(QStringLiteral("; "));
}

// Escaped as for the terminal, and a line break too: a record must stay one line.
QString oneRecordLine(const QString &text)
{
    return printable(text).replace(u'\n', QStringLiteral("\\x{a}"));
}

// The records of one change, which share their tail: the account file, the program and the
// operator, looked up once however many accounts an import adds. They reach the log together,
// so that it is opened once for the whole change.
class Trail
{
public:
    explicit Trail(const QString &accountPath)
        : m_tail(oneRecordLine(
              QStringLiteral("; account file %1; program %2; operator %3")
                  .arg(QDir::toNativeSeparators(QFileInfo(accountPath).absoluteFilePath()),
                       programName(), operatorName())))
    {}

    void reserve(qsizetype count) { m_records.reserve(count); }

    void add(AuditLevel level, const QString &what)
    {
        m_records.append({level, oneRecordLine(what) + m_tail});
    }

    // errorText is built from system messages, paths and account names, never from a
    // password, so it goes to the log as it is.
    void addFailure(const QString &what, const QString &errorText)
    {
        add(AuditLevel::Failure, QStringLiteral("%1: %2").arg(what, oneLine(errorText)));
    }

    void send() const
    {
        if (!m_records.isEmpty())
            AuditSink::current().write(m_records);
    }

private:
    QString m_tail; // escaped once for all the records
    QList<AuditRecord> m_records;
};

QString gmText(qint32 total)
{
    const QStringList names = gmFlagNames(total);
    if (names.isEmpty())
        return QString::number(total);
    return QStringLiteral("%1 %2").arg(QString::number(total), names.join(u'+'));
}

QString genderText(bool male)
{
    return male ? QStringLiteral("male") : QStringLiteral("female");
}

// The account as its record line describes it, the password left out.
QString addedText(const NewAccount &account)
{
    // Views, not copies: an import describes ten thousands of accounts at once.
    const RecordFields fields{QStringView(account.recordLine)};
    QString text;
    text.reserve(96 + account.recordLine.size());
    text.append(QStringLiteral("account added: ")).append(account.username);
    if (fields.isRecord())
        text.append(QStringLiteral(" ("))
            .append(genderText(fields.field(GenderField) != u"0"))
            .append(QStringLiteral(", e-mail "))
            .append(fields.field(EmailField))
            .append(QStringLiteral(", GM "))
            .append(gmText(fields.field(GmFlagsField).toInt()))
            .append(u')');
    if (!account.via.isEmpty())
        text += QStringLiteral(" by ") + account.via;
    return text;
}

QString changeText(const FieldValue &value, const AccountRecord &before, const AccountRecord &after)
{
    const QString arrow = QStringLiteral(" \u2192 ");
    switch (value.field) {
    case UsernameField:
        return QStringLiteral("name ") + before.username + arrow + after.username;
    case PasswordField:
        return QStringLiteral("new password");
    case GenderField:
        return genderText(before.male) + arrow + genderText(after.male);
    case EmailField:
        return QStringLiteral("e-mail ") + before.email + arrow + after.email;
    case GmFlagsField:
        return QStringLiteral("GM ") + gmText(before.gmFlags) + arrow + gmText(after.gmFlags);
    case RecordFieldCount:
        break;
    }
    return {};
}

QString editText(const AccountEdit &edit, const EditResult &result)
{
    const QString &name = result.before.username;
    if (edit.remove)
        return QStringLiteral("account removed: %1").arg(name);
    if (edit.values.size() == 1 && edit.values.constFirst().field == PasswordField)
        return QStringLiteral("password changed: %1").arg(name);
    QStringList changes;
    for (const FieldValue &value : edit.values)
        changes.append(changeText(value, result.before, result.after));
    return QStringLiteral("account changed: %1 (%2)").arg(name, changes.join(QStringLiteral("; ")));
}

QString editFailureText(const AccountEdit &edit)
{
    if (edit.remove)
        return QStringLiteral("file error removing account %1").arg(edit.username);
    if (edit.values.size() == 1 && edit.values.constFirst().field == PasswordField)
        return QStringLiteral("file error changing the password of %1").arg(edit.username);
    return QStringLiteral("file error changing account %1").arg(edit.username);
}

QString accountsText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 account")
                      : QStringLiteral("%1 accounts").arg(QString::number(count));
}

} // namespace

void AuditSink::install(AuditSink *sink)
{
    installed = sink;
}

AuditSink &AuditSink::current()
{
    AuditSink *sink = installed;
    return sink ? *sink : systemLog;
}

void auditAddition(const QString &accountPath, const QList<NewAccount> &accounts,
                   const QString &origin, const BatchResult &result)
{
    if (accounts.isEmpty() || result.outcome == AddOutcome::Duplicate)
        return;
    Trail trail(accountPath);
    if (result.outcome == AddOutcome::Created || result.fileChanged) {
        trail.reserve(accounts.size() + 2);
        // The summary first: a log service that limits how many records it takes at once
        // keeps it even when it drops some of a large import's accounts.
        if (!origin.isEmpty())
            trail.add(AuditLevel::Change, QStringLiteral("import: %1 added from %2")
                                              .arg(accountsText(accounts.size()), origin));
        std::vector<bool> added(accounts.size(), true);
        for (const int index : result.alreadyTaken)
            added[index] = false;
        for (qsizetype i = 0; i < accounts.size(); ++i) {
            if (added[i])
                trail.add(AuditLevel::Change, addedText(accounts.at(i)));
        }
    }
    if (result.outcome == AddOutcome::FileError) {
        QString what;
        if (!origin.isEmpty())
            what = QStringLiteral("file error importing %1 from %2")
                       .arg(accountsText(accounts.size()), origin);
        else if (accounts.size() == 1)
            what =
                QStringLiteral("file error adding account %1").arg(accounts.constFirst().username);
        else
            what = QStringLiteral("file error adding %1").arg(accountsText(accounts.size()));
        // An add's error names an account by its name alone, never by its record.
        trail.addFailure(what, result.errorText);
    }
    trail.send();
}

void auditEdit(const QString &accountPath, const AccountEdit &edit, const EditResult &result)
{
    if (edit.dryRun || result.outcome == EditOutcome::NoSuchAccount)
        return;
    Trail trail(accountPath);
    if (result.outcome == EditOutcome::Done || result.fileChanged)
        trail.add(AuditLevel::Change, editText(edit, result));
    if (result.outcome == EditOutcome::FileError)
        trail.addFailure(editFailureText(edit), result.loggedErrorText);
    trail.send();
}

void auditLineRemoval(const QString &accountPath, const QList<int> &numbers,
                      const EditResult &result)
{
    QStringList listed;
    for (const int number : numbers)
        listed.append(QString::number(number));
    const QString lines = listed.join(QStringLiteral(", "));
    Trail trail(accountPath);
    if (result.outcome == EditOutcome::Done || result.fileChanged)
        trail.add(AuditLevel::Change, QStringLiteral("lines removed: %1").arg(lines));
    if (result.outcome == EditOutcome::FileError)
        trail.addFailure(QStringLiteral("file error removing lines %1").arg(lines),
                         result.loggedErrorText);
    trail.send();
}

void auditNotice(const QString &accountPath, const QString &what)
{
    Trail trail(accountPath);
    trail.add(AuditLevel::Change, what);
    trail.send();
}

void auditFileChange(const QString &accountPath, const QString &what, const QString &failure,
                     bool fileChanged)
{
    Trail trail(accountPath);
    if (failure.isEmpty() || fileChanged)
        trail.add(AuditLevel::Change, what);
    if (!failure.isEmpty())
        trail.addFailure(what, failure);
    trail.send();
}

void setAuditWaitLimit(int milliseconds)
{
    waitLimitMs = milliseconds;
}

void countRecordsNotTaken(qsizetype count)
{
    recordsNotTaken += count;
}

QString finishAuditTrail()
{
    drainSystemLog();
    const qsizetype lost = recordsNotTaken;
    if (lost == 0)
        return {};
    return lost == 1 ? QStringLiteral("the system log did not take 1 record")
                     : QStringLiteral("the system log did not take %1 records").arg(lost);
}

#include "cli/ListCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/Report.h"

#include "core/AccountList.h"
#include "core/GmFlags.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qsizetype flushSize = 64 * 1024;

QString textLine(int lineNumber, const AccountRecord &record, bool showPasswords)
{
    QStringList columns{printable(record.username)};
    if (!record.malformed.isEmpty()) {
        columns << QStringLiteral("(line %1 is not a well-formed record: %2)")
                       .arg(lineNumber)
                       .arg(printable(record.malformed));
        return columns.join(u'\t');
    }
    if (showPasswords)
        columns << printable(record.password);
    columns << (record.male ? QStringLiteral("male") : QStringLiteral("female"))
            << printable(record.email) << QString::number(record.gmFlags)
            << gmFlagNames(record.gmFlags).join(u'+');
    return columns.join(u'\t');
}

QJsonObject jsonObject(int lineNumber, const AccountRecord &record, bool showPasswords)
{
    QJsonObject object{{QStringLiteral("line"), lineNumber},
                       {QStringLiteral("username"), record.username}};
    if (showPasswords && !record.password.isEmpty())
        object.insert(QStringLiteral("password"), record.password);
    if (!record.malformed.isEmpty()) {
        object.insert(QStringLiteral("malformed"), record.malformed);
        return object;
    }
    object.insert(QStringLiteral("gender"),
                  record.male ? QStringLiteral("male") : QStringLiteral("female"));
    object.insert(QStringLiteral("email"), record.email);
    object.insert(QStringLiteral("gmFlags"), record.gmFlags);
    object.insert(QStringLiteral("gmFlagNames"),
                  QJsonArray::fromStringList(gmFlagNames(record.gmFlags)));
    return object;
}

// The JSON array, one object at a time, exactly as QJsonDocument writes a whole one: a listing
// of a million accounts must not hold them all in memory first.
void appendJson(QByteArray &out, const QJsonObject &object, bool first)
{
    QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Indented);
    json.chop(1); // its line end; the array's separator follows
    out += first ? "[\n    " : ",\n    ";
    out += terminalSafeJson(json.replace('\n', "\n    "));
}

} // namespace

int runList(const CommandLine &line)
{
    const NamePattern pattern(line.pattern);
    QByteArray out;
    bool first = true;
    const ListResult result =
        ListAccounts(line.applicationFolder, pattern, [&](int number, const AccountRecord &record) {
            if (line.json)
                appendJson(out, jsonObject(number, record, line.showPasswords), first);
            else
                out += (textLine(number, record, line.showPasswords) + u'\n').toLocal8Bit();
            first = false;
            if (out.size() >= flushSize) {
                writeOut(out);
                out.clear();
            }
        });
    // A listing cut short by a file error is not closed: no script can take it for a whole one.
    if (!result.ok) {
        writeOut(out);
        return reportFileError(result.errorText);
    }
    if (line.json)
        out += first ? "[\n]\n" : "\n]\n";
    writeOut(out);
    return ExitDone;
}

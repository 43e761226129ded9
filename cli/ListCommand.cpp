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

} // namespace

int runList(const CommandLine &line)
{
    const NamePattern pattern(line.pattern);
    QJsonArray array;
    QByteArray text;
    const ListResult result =
        ListAccounts(line.applicationFolder, pattern, [&](int number, const AccountRecord &record) {
            if (line.json) {
                array.append(jsonObject(number, record, line.showPasswords));
                return;
            }
            text += (textLine(number, record, line.showPasswords) + u'\n').toLocal8Bit();
            if (text.size() >= flushSize) {
                writeOut(text);
                text.clear();
            }
        });
    if (!result.ok) {
        writeOut(text);
        return reportFileError(result.errorText);
    }
    writeOut(line.json ? terminalSafeJson(QJsonDocument(array).toJson()) : text);
    return ExitDone;
}

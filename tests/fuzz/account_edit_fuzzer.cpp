// Feeds arbitrary account files through passwd, set and remove, and checks the outcome against a
// plain model of the account file:
//   - no line's whole name field equals the name without regard to case: no such account;
//   - two lines do: a file error; a line that must keep fields but has not five: a file error;
//   - otherwise that one line is replaced or left out, every other line is copied byte for byte
//     with a CR LF end, and a byte-order mark at the start stays.
// After anything but a change, the file is exactly as it was.
//
// Input: [operation][name length][name bytes][account file bytes]

#include "core/AccountEdit.h"
#include "core/AccountFile.h"
#include "core/internal/AccountFileUpdate.h"
#include "tests/fuzz/ScratchServerFolder.h"
#include "tests/support/AuditSinks.h"
#include "tests/support/ModelLines.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Thousands of changes a second would flood the system log; their records are still made.
RecordingAuditSink discardedRecords{false};

enum class Operation
{
    Passwd,
    Set,
    Remove,
};

struct Expected
{
    EditOutcome outcome = EditOutcome::NoSuchAccount;
    QByteArray file;
};

QByteArray changed(const QByteArray &line, Operation operation)
{
    QList<QByteArray> fields = line.split(',');
    if (operation == Operation::Passwd) {
        fields[1] = "newpass1";
    } else {
        fields[2] = "0";
        fields[3] = "e@x.org";
        fields[4] = "384";
    }
    return fields.join(',');
}

Expected model(const QByteArray &input, const QString &username, Operation operation, bool dryRun)
{
    QByteArray out;
    QByteArray rest = input;
    if (rest.startsWith("\xEF\xBB\xBF")) {
        out = rest.left(3);
        rest = rest.mid(3);
    }
    const QList<QByteArray> lines = modelLines(rest);

    Expected expected;
    expected.file = input;
    int matches = 0;
    bool unchanged = false;
    for (const QByteArray &each : std::as_const(lines)) {
        const qsizetype comma = each.indexOf(',');
        const QByteArray name = comma < 0 ? each : each.left(comma);
        QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
        const QString decoded = decoder.decode(name);
        const bool match = !name.isEmpty() && !username.isEmpty() && !decoder.hasError() &&
                           sameName(decoded, username);
        if (!match) {
            out += each + "\r\n";
            continue;
        }
        if (++matches > 1 || (operation != Operation::Remove && each.count(',') != 4)) {
            expected.outcome = EditOutcome::FileError;
            return expected;
        }
        if (operation != Operation::Remove)
            out += changed(each, operation) + "\r\n";
        unchanged = operation != Operation::Remove && changed(each, operation) == each;
    }
    if (matches == 0)
        return expected;
    expected.outcome = unchanged ? EditOutcome::Unchanged : EditOutcome::Done;
    if (unchanged)
        return expected;
    if (!dryRun)
        expected.file = out;
    return expected;
}

[[noreturn]] void failure(const char *what, const QByteArray &input, const QString &username)
{
    std::fprintf(stderr, "%s\nusername: %s\nfile: %s\n", what, qPrintable(username),
                 input.toHex(' ').constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const Operation operation = Operation(data[0] % 3);
    const bool dryRun = data[0] & 0x10;
    const size_t nameLength = std::min<size_t>(data[1], size - 2);
    const QString username =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(nameLength));
    const QByteArray input(reinterpret_cast<const char *>(data + 2 + nameLength),
                           qsizetype(size - 2 - nameLength));

    AccountEdit edit;
    edit.username = username;
    edit.dryRun = dryRun;
    edit.remove = operation == Operation::Remove;
    if (operation == Operation::Passwd)
        edit.values = {{PasswordField, QStringLiteral("newpass1")}};
    else if (operation == Operation::Set)
        edit.values = {{GmFlagsField, QStringLiteral("384")},
                       {EmailField, QStringLiteral("e@x.org")},
                       {GenderField, QStringLiteral("0")}};

    const QString folder = scratchServerFolder(QStringLiteral("kelto-edit-fuzz"));
    QFile file(accountFilePath(folder));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(input) != input.size())
        std::abort();
    file.close();
    const EditResult result = EditAccount(folder, edit);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray after = file.readAll();
    file.close();

    const Expected expected = model(input, username, operation, dryRun);
    if (result.outcome != expected.outcome)
        failure(qPrintable(QStringLiteral("edit: outcome %1, the model says %2 (%3)")
                               .arg(int(result.outcome))
                               .arg(int(expected.outcome))
                               .arg(result.errorText)),
                input, username);
    if (after != expected.file)
        failure("edit: account file differs from the model", input, username);
    if (QFile::exists(QDir(folder).filePath(QString::fromLatin1(tempFileName))))
        failure("edit: kAdd.tmp left behind", input, username);
    return 0;
}

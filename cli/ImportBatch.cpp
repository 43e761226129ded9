#include "cli/ImportBatch.h"

#include "core/AccountRecord.h"
#include "core/ByteOrderMark.h"
#include "core/EntryValidation.h"
#include "core/GmFlags.h"
#include "core/RecordEncoding.h"

#include <QHash>
#include <QStringDecoder>

#include <optional>

namespace {

// The texts the rules check are copies; the two numbers are read in place.
struct Fields
{
    QString username;
    QString password;
    QStringView gender;
    QString email;
    QStringView gm;
};

bool isSkipped(const QString &line)
{
    for (const QChar c : line) {
        if (c == u'#')
            return true;
        if (!c.isSpace())
            return false;
    }
    return true;
}

std::optional<qint16> parseGender(QStringView field)
{
    if (field == u"1")
        return 1;
    if (field == u"0")
        return 0;
    return std::nullopt;
}

class BatchReader
{
public:
    ImportBatch batch;

    void expectLines(qsizetype count)
    {
        batch.accounts.reserve(count);
        batch.lineNumbers.reserve(count);
        m_firstLineOfKey.reserve(count);
    }

    void readLine(int lineNumber, QByteArrayView bytes)
    {
        m_decoder.resetState();
        const QString line = m_decoder.decode(bytes);
        if (m_decoder.hasError())
            return refuse(lineNumber, QStringLiteral("the line is not valid text in the "
                                                     "system's encoding"));
        if (isSkipped(line))
            return;

        const RecordFields parts{QStringView(line)};
        if (!parts.isRecord())
            return refuse(lineNumber, QStringLiteral("expected 5 fields "
                                                     "(username,password,gender,email,gm), "
                                                     "found %1")
                                          .arg(parts.count()));
        Fields fields{parts.field(UsernameField).toString(), parts.field(PasswordField).toString(),
                      parts.field(GenderField), parts.field(EmailField).toString(),
                      parts.field(GmFlagsField)};
        const QString key = caseInsensitiveKey(fields.username);
        const int earlierLine = m_firstLineOfKey.value(key, 0);
        if (earlierLine == 0 && !key.isEmpty())
            m_firstLineOfKey.insert(key, lineNumber);

        const bool emailGiven = !fields.email.isEmpty();
        const ValidationResult check =
            validateAccountTexts(fields.username, fields.password, fields.email);
        if (!check.passed)
            return refuse(lineNumber, check.title + QStringLiteral(": ") + check.text);
        const std::optional<qint16> gender = parseGender(fields.gender);
        if (!gender)
            return refuse(lineNumber,
                          QStringLiteral("gender must be 1 (male) or 0 (female), not '%1'")
                              .arg(fields.gender));
        const std::optional<qint32> gm =
            fields.gm.isEmpty() ? std::optional<qint32>(0) : parseGmFlags(fields.gm);
        if (!gm)
            return refuse(lineNumber, QStringLiteral("gm must be a total from 0 to 65535 or "
                                                     "flag names joined by '+', not '%1'")
                                          .arg(fields.gm));
        if (earlierLine != 0) {
            batch.problems.append({lineNumber,
                                   QStringLiteral("Username exist: %1 is also on line %2")
                                       .arg(fields.username)
                                       .arg(earlierLine),
                                   true});
            return;
        }
        // A line that has the record's own form is the record, as nearly every line of an
        // export read back has.
        const bool asRecord = emailGiven && fields.gm == QString::number(*gm);
        batch.accounts.append(
            {fields.username, asRecord ? line
                                       : BuildRecordLine(fields.username, fields.password, *gender,
                                                         fields.email, *gm)});
        batch.lineNumbers.append(lineNumber);
    }

private:
    void refuse(int lineNumber, const QString &reason)
    {
        batch.problems.append({lineNumber, reason, false});
    }

    // Only the file's first bytes can be a byte-order mark; at the start of any other line it
    // is the character U+FEFF, which the rules refuse, not something to drop unseen.
    QStringDecoder m_decoder{QStringConverter::System,
                             QStringConverter::Flag::Stateless |
                                 QStringConverter::Flag::ConvertInitialBom};
    // A refused line still claims its name, so fixing it later cannot bring in a duplicate.
    QHash<QString, int> m_firstLineOfKey;
};

} // namespace

ImportBatch readImportBatch(QByteArrayView bytes)
{
    if (bytes.startsWith(utf8ByteOrderMark))
        bytes = bytes.sliced(3);
    BatchReader reader;
    reader.expectLines(bytes.count('\n') + 1);
    int lineNumber = 0;
    while (!bytes.isEmpty()) {
        ++lineNumber;
        qsizetype end = bytes.indexOf('\n');
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        QByteArrayView line = bytes.first(end);
        if (line.endsWith('\r'))
            line.chop(1);
        reader.readLine(lineNumber, line);
        bytes = bytes.sliced(next);
    }
    return reader.batch;
}

#include "core/AccountRecord.h"

#include "core/RecordEncoding.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/format/NameKey.h"

#include <QStringDecoder>

#include <optional>

namespace {

// A record is a few dozen bytes; a line of a gigabyte is shown by the start of its name rather
// than turned into text many times its size.
constexpr qsizetype longestRecord = 4096;

} // namespace

std::optional<PlainRecord> parsePlainRecord(QByteArrayView line)
{
    if (line.size() > longestRecord)
        return std::nullopt;
    const RecordFields fields(line);
    if (!fields.isAscii() || !fields.isRecord() || fields.field(UsernameField).isEmpty())
        return std::nullopt;
    const QByteArrayView gender = fields.field(GenderField);
    const std::optional<qint32> gm =
        AccountFileFormat::plainNumber(fields.field(GmFlagsField), 65535);
    if ((gender != "1" && gender != "0") || !gm)
        return std::nullopt;
    return PlainRecord{fields.field(UsernameField), fields.field(PasswordField), gender == "1",
                       fields.field(EmailField), *gm};
}

AccountRecord parseRecord(QByteArrayView line)
{
    AccountRecord record;
    QStringDecoder lossy(QStringConverter::System, QStringConverter::Flag::Stateless);
    if (line.size() > longestRecord) {
        record.username = lossy.decode(nameField(line.first(64)));
        record.malformed = QStringLiteral("longer than %1 bytes").arg(longestRecord);
        return record;
    }
    record.username = lossy.decode(nameField(line));
    const std::optional<QString> text = decodeField(line);
    if (!text) {
        record.malformed = QStringLiteral("not valid text in the system's code page");
        return record;
    }
    if (text->isEmpty()) {
        record.malformed = QStringLiteral("an empty line");
        return record;
    }
    const RecordFields fields{QStringView(*text)};
    if (!fields.isRecord()) {
        record.malformed = QStringLiteral("expected 5 fields (username,password,gender,email,"
                                          "gmflags), found %1")
                               .arg(fields.count());
        return record;
    }
    record.password = fields.field(PasswordField).toString();
    record.email = fields.field(EmailField).toString();
    if (record.username.isEmpty()) {
        record.malformed = QStringLiteral("no username");
        return record;
    }
    // A line whose fields have shifted may hold the password where the gender or the flags
    // belong: the message names the field, never its value.
    const QStringView gender = fields.field(GenderField);
    if (gender != u"1" && gender != u"0") {
        record.malformed = QStringLiteral("the gender is not 1 or 0");
        return record;
    }
    record.male = gender == u"1";
    const std::optional<qint32> gm =
        AccountFileFormat::plainNumber(fields.field(GmFlagsField), 65535);
    if (!gm) {
        record.malformed = QStringLiteral("the GM flags are not a number from 0 to 65535");
        return record;
    }
    record.gmFlags = *gm;
    return record;
}

QByteArray replaceFields(QByteArrayView line, const QList<FieldValue> &values)
{
    const RecordFields fields(line);
    Q_ASSERT(fields.isRecord());
    QByteArrayView kept[RecordFieldCount];
    for (int i = 0; i < RecordFieldCount; ++i)
        kept[i] = fields.field(i);
    QList<QByteArray> encoded;
    encoded.reserve(values.size());
    for (const FieldValue &value : values) {
        encoded.append(encodeRecord(value.text).chopped(2));
        kept[value.field] = encoded.constLast();
    }
    QByteArray out;
    for (int i = 0; i < RecordFieldCount; ++i) {
        if (i > 0)
            out.append(',');
        out.append(kept[i]);
    }
    return out;
}

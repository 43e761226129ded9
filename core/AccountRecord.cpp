#include "core/AccountRecord.h"

#include "core/RecordEncoding.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/format/NameKey.h"

#include <QStringDecoder>
#include <QStringList>

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
    qsizetype commas[RecordFieldCount - 1];
    int found = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c & 0x80)
            return std::nullopt;
        if (c == ',') {
            if (found == RecordFieldCount - 1)
                return std::nullopt;
            commas[found++] = i;
        }
    }
    if (found != RecordFieldCount - 1 || commas[0] == 0)
        return std::nullopt;
    const auto field = [&](int index) {
        const qsizetype from = index == 0 ? 0 : commas[index - 1] + 1;
        const qsizetype to = index == RecordFieldCount - 1 ? line.size() : commas[index];
        return line.sliced(from, to - from);
    };
    const QByteArrayView gender = field(GenderField);
    const std::optional<qint32> gm = AccountFileFormat::plainNumber(field(GmFlagsField), 65535);
    if ((gender != "1" && gender != "0") || !gm)
        return std::nullopt;
    return PlainRecord{field(UsernameField), field(PasswordField), gender == "1", field(EmailField),
                       *gm};
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
    const QStringList fields = text->split(u',');
    if (fields.size() != RecordFieldCount) {
        record.malformed = QStringLiteral("expected 5 fields (username,password,gender,email,"
                                          "gmflags), found %1")
                               .arg(fields.size());
        return record;
    }
    record.password = fields.at(PasswordField);
    record.email = fields.at(EmailField);
    if (record.username.isEmpty()) {
        record.malformed = QStringLiteral("no username");
        return record;
    }
    // A line whose fields have shifted may hold the password where the gender or the flags
    // belong: the message names the field, never its value.
    const QString &gender = fields.at(GenderField);
    if (gender != QLatin1String("1") && gender != QLatin1String("0")) {
        record.malformed = QStringLiteral("the gender is not 1 or 0");
        return record;
    }
    record.male = gender == QLatin1String("1");
    const std::optional<qint32> gm = AccountFileFormat::plainNumber(fields.at(GmFlagsField), 65535);
    if (!gm) {
        record.malformed = QStringLiteral("the GM flags are not a number from 0 to 65535");
        return record;
    }
    record.gmFlags = *gm;
    return record;
}

QByteArray replaceFields(QByteArrayView line, const QList<FieldValue> &values)
{
    QList<QByteArrayView> fields;
    qsizetype from = 0;
    for (;;) {
        const qsizetype comma = line.indexOf(',', from);
        fields.append(line.sliced(from, (comma < 0 ? line.size() : comma) - from));
        if (comma < 0)
            break;
        from = comma + 1;
    }
    Q_ASSERT(fields.size() == RecordFieldCount);
    QList<QByteArray> encoded;
    encoded.reserve(values.size());
    for (const FieldValue &value : values) {
        encoded.append(encodeRecord(value.text).chopped(2));
        fields[value.field] = encoded.constLast();
    }
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out.append(',');
        out.append(fields.at(i));
    }
    return out;
}

qsizetype fieldCount(QByteArrayView line)
{
    return line.count(',') + 1;
}

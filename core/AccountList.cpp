#include "core/AccountList.h"

#include "core/AccountFile.h"
#include "core/UsernameKey.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/scan/AccountLineReader.h"

namespace {

QList<uint> codePoints(const QString &text)
{
    return caseInsensitiveKey(text).toUcs4();
}

// The classic linear glob match: on a mismatch, let the last '*' swallow one more character.
// nameAt(n) is the key's code point n.
template <typename NameAt>
bool globMatches(const QList<uint> &pattern, qsizetype nameSize, NameAt nameAt)
{
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype star = -1;
    qsizetype starName = 0;
    while (n < nameSize) {
        if (p < pattern.size() && pattern.at(p) == '*') {
            star = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern.at(p) == '?' || pattern.at(p) == nameAt(n))) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == '*')
        ++p;
    return p == pattern.size();
}

// A number of the file (the GM flags) as AccountFileFormat::plainNumber() reads it, from bytes.
bool plainNumber(QByteArrayView digits, qint32 highest, qint32 &value)
{
    if (digits.isEmpty() || digits.size() > 5)
        return false;
    value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= highest;
}

// Reads the line as a plain record, or tells that it is something else, which parseRecord() then
// reads: bytes outside printable ASCII, a line too long to be a record, or one that is not well
// formed (whose reason parseRecord() words).
bool parsePlainRecord(QByteArrayView line, PlainRecord &record)
{
    constexpr qsizetype longestRecord = 4096; // as parseRecord() takes them
    if (line.size() > longestRecord)
        return false;
    qsizetype commas[RecordFieldCount - 1];
    int found = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c < 0x20 || c > 0x7E)
            return false;
        if (c == ',') {
            if (found == RecordFieldCount - 1)
                return false;
            commas[found++] = i;
        }
    }
    if (found != RecordFieldCount - 1 || commas[0] == 0)
        return false;
    const auto field = [&](int index) {
        const qsizetype from = index == 0 ? 0 : commas[index - 1] + 1;
        const qsizetype to = index == RecordFieldCount - 1 ? line.size() : commas[index];
        return line.sliced(from, to - from);
    };
    const QByteArrayView gender = field(GenderField);
    if (gender != "1" && gender != "0")
        return false;
    if (!plainNumber(field(GmFlagsField), 65535, record.gmFlags))
        return false;
    record.username = field(UsernameField);
    record.password = field(PasswordField);
    record.male = gender == "1";
    record.email = field(EmailField);
    return true;
}

} // namespace

NamePattern::NamePattern(const QString &pattern) : m_pattern(codePoints(pattern)) {}

bool NamePattern::matches(const QString &username) const
{
    if (m_pattern.isEmpty())
        return true;
    const QList<uint> name = codePoints(username);
    return globMatches(m_pattern, name.size(), [&](qsizetype n) { return name.at(n); });
}

bool NamePattern::matches(QByteArrayView asciiName) const
{
    if (m_pattern.isEmpty())
        return true;
    return globMatches(m_pattern, asciiName.size(),
                       [&](qsizetype n) { return uint(uchar(asciiFold(asciiName.at(n)))); });
}

ListResult ListAccounts(const QString &applicationFolder, const NamePattern &pattern,
                        const std::function<void(int, const PlainRecord &)> &visitPlain,
                        const std::function<void(int, const AccountRecord &)> &visitRecord)
{
    const QString accountPath = accountFilePath(applicationFolder);
    ListResult result;
    // Without a lock: the file is replaced only by a rename, so the open file is one whole
    // version of it from start to end.
    AccountFileUpdate update(accountPath);
    if (Failure failure = update.open(AccountFileUpdate::Locking::None)) {
        result.errorText = fileReadErrorText(accountPath, *failure);
        return result;
    }
    AccountLineReader reader(update.source());
    QByteArrayView line;
    PlainRecord plain;
    while (reader.next(line)) {
        if (parsePlainRecord(line, plain)) {
            if (pattern.matches(plain.username))
                visitPlain(reader.lineNumber(), plain);
            continue;
        }
        const AccountRecord record = parseRecord(line);
        if (pattern.matches(record.username))
            visitRecord(reader.lineNumber(), record);
    }
    if (reader.failed()) {
        result.errorText = fileReadErrorText(accountPath, reader.errorText());
        return result;
    }
    result.ok = true;
    return result;
}

ListResult ListAccounts(const QString &applicationFolder, const NamePattern &pattern,
                        const std::function<void(int, const AccountRecord &)> &visit)
{
    const auto visitPlain = [&](int lineNumber, const PlainRecord &plain) {
        AccountRecord record;
        record.username = QString::fromLatin1(plain.username);
        record.password = QString::fromLatin1(plain.password);
        record.male = plain.male;
        record.email = QString::fromLatin1(plain.email);
        record.gmFlags = plain.gmFlags;
        visit(lineNumber, record);
    };
    return ListAccounts(applicationFolder, pattern, visitPlain, visit);
}

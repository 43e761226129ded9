#include "core/AccountList.h"

#include "core/AccountFile.h"
#include "core/UsernameKey.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/scan/AccountLineReader.h"

#include <algorithm>

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

// Shown as it is: no control character may reach the terminal unescaped.
bool isPrintable(QByteArrayView line)
{
    return std::all_of(line.cbegin(), line.cend(), [](char c) { return c >= 0x20 && c <= 0x7E; });
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
    while (reader.next(line)) {
        if (const std::optional<PlainRecord> plain = parsePlainRecord(line);
            plain && isPrintable(line)) {
            if (pattern.matches(plain->username))
                visitPlain(reader.lineNumber(), *plain);
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

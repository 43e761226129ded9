#include "core/AccountList.h"

#include "core/AccountFile.h"
#include "core/UsernameKey.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/scan/AccountLineReader.h"

namespace {

QList<uint> codePoints(const QString &text)
{
    return caseInsensitiveKey(text).toUcs4();
}

} // namespace

NamePattern::NamePattern(const QString &pattern) : m_pattern(codePoints(pattern)) {}

// The classic linear glob match: on a mismatch, let the last '*' swallow one more character.
bool NamePattern::matches(const QString &username) const
{
    if (m_pattern.isEmpty())
        return true;
    const QList<uint> name = codePoints(username);
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype star = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (p < m_pattern.size() && m_pattern.at(p) == '*') {
            star = p++;
            starName = n;
        } else if (p < m_pattern.size() &&
                   (m_pattern.at(p) == '?' || m_pattern.at(p) == name.at(n))) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < m_pattern.size() && m_pattern.at(p) == '*')
        ++p;
    return p == m_pattern.size();
}

ListResult ListAccounts(const QString &applicationFolder, const NamePattern &pattern,
                        const std::function<void(int, const AccountRecord &)> &visit)
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
        const AccountRecord record = parseRecord(line);
        if (pattern.matches(record.username))
            visit(reader.lineNumber(), record);
    }
    if (reader.failed()) {
        result.errorText = fileReadErrorText(accountPath, reader.errorText());
        return result;
    }
    result.ok = true;
    return result;
}

#include "core/internal/format/NameKey.h"

#include <QStringDecoder>

#include <algorithm>

std::optional<QString> decodeField(QByteArrayView field)
{
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(field);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

NameMatcher::NameMatcher(const QString &username) : m_key(caseInsensitiveKey(username)) {}

bool NameMatcher::matches(QByteArrayView field) const
{
    if (field.isEmpty() || m_key.isEmpty())
        return false;
    // Most names are ASCII: compare them without decoding. The key of ASCII text is the text
    // folded byte by byte, so this compares keys, whatever the username was typed as (ſamuel
    // has an ASCII key, and an ASCII field can match it).
    if (std::none_of(field.cbegin(), field.cend(), [](char c) { return c & 0x80; })) {
        if (field.size() != m_key.size())
            return false;
        for (qsizetype i = 0; i < field.size(); ++i) {
            if (QChar(QLatin1Char(asciiFold(field.at(i)))) != m_key.at(i))
                return false;
        }
        return true;
    }
    const std::optional<QString> decoded = decodeField(field);
    return decoded && caseInsensitiveKey(*decoded) == m_key;
}

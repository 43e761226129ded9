#include "core/internal/format/AccountFileFormat.h"

namespace {

int codeOf(QChar c)
{
    return c.unicode();
}

int codeOf(char c)
{
    return static_cast<unsigned char>(c);
}

template <typename Text> std::optional<qint32> readPlainNumber(const Text &text, qint32 highest)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    qint32 value = 0;
    for (const auto c : text) {
        const int code = codeOf(c);
        if (code < '0' || code > '9')
            return std::nullopt;
        value = value * 10 + (code - '0');
    }
    if (value > highest)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<qint32> AccountFileFormat::plainNumber(QStringView text, qint32 highest)
{
    return readPlainNumber(text, highest);
}

std::optional<qint32> AccountFileFormat::plainNumber(QByteArrayView digits, qint32 highest)
{
    return readPlainNumber(digits, highest);
}

#include "core/internal/format/AccountFileFormat.h"

#include <QString>

std::optional<qint32> AccountFileFormat::plainNumber(QStringView text, qint32 highest)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const qint32 value = text.toInt();
    if (value > highest)
        return std::nullopt;
    return value;
}

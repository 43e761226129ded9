#include "core/GmFlags.h"

#include "core/internal/format/AccountFileFormat.h"

namespace {

std::optional<qint32> flagValue(QStringView name)
{
    for (const GmFlag &flag : gmFlags) {
        if (name.compare(QLatin1String(flag.name), Qt::CaseInsensitive) == 0)
            return flag.value;
    }
    return std::nullopt;
}

} // namespace

std::optional<qint32> parseGmFlags(QStringView text)
{
    // Digits only: the record carries the total without sign, spaces or other bases.
    if (const auto total = AccountFileFormat::plainNumber(text, allGmFlags))
        return total;
    if (text.isEmpty())
        return std::nullopt;
    qint32 total = 0;
    for (const QStringView name : text.split(u'+')) {
        const auto value = flagValue(name);
        if (!value)
            return std::nullopt;
        total |= *value;
    }
    return total;
}

std::optional<GmFlagChange> parseGmFlagChange(QStringView text)
{
    if (!text.startsWith(u'+') && !text.startsWith(u'-'))
        return std::nullopt;
    GmFlagChange change;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start + 1;
        while (end < text.size() && text[end] != u'+' && text[end] != u'-')
            ++end;
        const auto value = flagValue(text.sliced(start + 1, end - start - 1));
        if (!value)
            return std::nullopt;
        (text[start] == u'+' ? change.add : change.clear) |= *value;
        start = end;
    }
    if (change.add & change.clear)
        return std::nullopt;
    return change;
}

QStringList gmFlagNames(qint32 total)
{
    QStringList names;
    for (const GmFlag &flag : gmFlags) {
        if (total & flag.value)
            names.append(QLatin1String(flag.name));
    }
    return names;
}

#include "core/TerminalText.h"

#include <algorithm>

namespace {

// A control character, line separator or other invisible character that a terminal could take
// as a command or that hides what follows; a line break is none. None is a surrogate, so the
// UTF-16 units can be judged one by one.
bool drivesTerminal(QChar character)
{
    const char16_t c = character.unicode();
    return (c < 0x20 && c != '\n') || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

// Nearly every text has none of them and is returned as it is.
QString escapeTerminalDrivers(const QString &text, QString (*escape)(char16_t))
{
    if (std::none_of(text.cbegin(), text.cend(), drivesTerminal))
        return text;
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (drivesTerminal(c))
            escaped += escape(c.unicode());
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

QString printable(const QString &text)
{
    return escapeTerminalDrivers(
        text, [](char16_t c) { return QStringLiteral("\\x{%1}").arg(c, 0, 16); });
}

QByteArray terminalSafeJson(const QByteArray &json)
{
    const QString text = QString::fromUtf8(json);
    const QString escaped = escapeTerminalDrivers(
        text, [](char16_t c) { return QStringLiteral("\\u%1").arg(c, 4, 16, QChar(u'0')); });
    return escaped.size() == text.size() ? json : escaped.toUtf8();
}

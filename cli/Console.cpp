#include "cli/Console.h"

#include <QList>

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &line)
{
    const QByteArray bytes = (line + u'\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void printOut(const QString &line)
{
    print(stdout, line);
}

void printError(const QString &line)
{
    print(stderr, line);
}

void printOut(const QStringList &lines)
{
    if (!lines.isEmpty())
        print(stdout, lines.join(u'\n'));
}

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const uint c : text.toUcs4()) {
        const bool hidden = (c < 0x20 && c != '\n') || (c >= 0x7F && c <= 0x9F) ||
                            (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
                            (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
        if (hidden)
            shown += QStringLiteral("\\x{%1}").arg(c, 0, 16);
        else
            shown += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
    }
    return shown;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

// The account file is text in the system's code page (UTF-8 on Linux, the ANSI code page on
// Windows): the bytes it holds for text.
inline QByteArray systemBytes(const QString &text)
{
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

// Whether the system's code page can hold text at all.
inline bool systemCodePageHolds(const QString &text)
{
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    return decoder.decode(systemBytes(text)) == text;
}

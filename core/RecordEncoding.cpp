#include "core/RecordEncoding.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

bool isNoncharacter(char32_t c)
{
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

// C0 and C1 controls and DEL; U+0085 ends a line for many readers and U+009B starts a terminal
// escape. U+2028/U+2029 end lines too, and U+FEFF inside a line is an invisible marker.
bool breaksTheLine(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFEFF ||
           isNoncharacter(c);
}

// By far the most common text, and the same in every code page the file may use.
bool isPrintableAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

} // namespace

QString BuildRecordLine(const QString &username, const QString &password, qint16 gender,
                        const QString &email, qint32 gmFlags)
{
    const QString gm = QString::number(gmFlags);
    QString line;
    line.reserve(username.size() + password.size() + email.size() + gm.size() + 6);
    line.append(username).append(u',').append(password).append(u',');
    line.append(QString::number(gender)).append(u',').append(email).append(u',').append(gm);
    return line;
}

bool canBeStored(const QString &text)
{
    if (isPrintableAscii(text))
        return true;
    for (const uint c : text.toUcs4()) {
        if (breaksTheLine(c))
            return false;
    }
    // A round trip rather than hasError(): on Windows the encoder turns characters outside the
    // ANSI code page into '?' without reporting an error.
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    const QString back = decoder.decode(bytes);
    return !decoder.hasError() && back == text;
}

QByteArray encodeRecord(const QString &recordLine)
{
    if (isPrintableAscii(recordLine))
        return recordLine.toLatin1() + "\r\n";
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(recordLine);
    bytes.append("\r\n", 2);
    return bytes;
}

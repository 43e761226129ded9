#include "core/RecordLine.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

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

} // namespace

QString BuildRecordLine(const QString &username, const QString &password, qint16 gender,
                        const QString &email, qint32 gmFlags)
{
    const QChar comma = u',';
    return username + comma + password + comma + QString::number(gender) + comma + email + comma +
           QString::number(gmFlags);
}

bool canBeStored(const QString &text)
{
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
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(recordLine);
    bytes.append("\r\n", 2);
    return bytes;
}

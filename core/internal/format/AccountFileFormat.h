#pragma once

#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>

#include <optional>

// How the account file lays out its lines, as every reader and writer of it must see them.
// Lines end in CR LF when written; when read, CR LF, LF and a lone CR each end a line, and a last
// line without an end still counts. A UTF-8 byte-order mark at the very start of the file is a
// signature that belongs to no line.
namespace AccountFileFormat {

inline constexpr QByteArrayView byteOrderMark("\xEF\xBB\xBF", 3);
inline constexpr QByteArrayView lineEnd("\r\n", 2);

// The file is read and copied this many bytes at a time: large enough that the system calls cost
// nothing beside the copy, small enough to stay in the processor's cache.
inline constexpr qint64 chunkSize = 256 * 1024;

// A number as the file carries it (gender, GM flags): decimal digits alone, no sign or spaces,
// at most highest.
std::optional<qint32> plainNumber(QStringView text, qint32 highest);
// The same read from the field's bytes, where the line need not be decoded.
std::optional<qint32> plainNumber(QByteArrayView digits, qint32 highest);

} // namespace AccountFileFormat

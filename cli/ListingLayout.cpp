#include "cli/ListingLayout.h"

#include "cli/CommandLine.h"

#include "core/GmFlags.h"
#include "core/TerminalText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr qsizetype flushSize = 64 * 1024;

// Gathers what is printed and hands it on in pieces large enough that the writes cost nothing.
class Output
{
public:
    explicit Output(const std::function<void(const QByteArray &)> &write) : m_write(write)
    {
        m_bytes.reserve(flushSize + 4096);
    }
    QByteArray &bytes() { return m_bytes; }
    void flushWhenFull()
    {
        if (m_bytes.size() >= flushSize)
            flush();
    }
    void flush()
    {
        if (m_bytes.isEmpty())
            return;
        m_write(m_bytes);
        m_bytes.resize(0); // keeps the room for the next piece
    }

private:
    const std::function<void(const QByteArray &)> &m_write;
    QByteArray m_bytes;
};

void appendNumber(QByteArray &out, qint64 value)
{
    char digits[24];
    int at = sizeof digits;
    do {
        digits[--at] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    out.append(digits + at, qsizetype(sizeof digits) - at);
}

// --- Lines: what scripts parse, one account a line, tab-separated.

QString textLine(int lineNumber, const AccountRecord &record, bool showPasswords)
{
    QStringList columns{printable(record.username)};
    if (!record.malformed.isEmpty()) {
        columns << QStringLiteral("(line %1 is not a well-formed record: %2)")
                       .arg(lineNumber)
                       .arg(printable(record.malformed));
        return columns.join(u'\t');
    }
    if (showPasswords)
        columns << printable(record.password);
    columns << (record.male ? QStringLiteral("male") : QStringLiteral("female"))
            << printable(record.email) << QString::number(record.gmFlags)
            << gmFlagNames(record.gmFlags).join(u'+');
    return columns.join(u'\t');
}

// The same line for a plain record, from its bytes: printable ASCII is shown as it is, and is the
// same in the terminal's encoding.
void appendTextLine(QByteArray &out, const PlainRecord &record, bool showPasswords)
{
    out.append(record.username).append('\t');
    if (showPasswords)
        out.append(record.password).append('\t');
    out.append(record.male ? "male\t" : "female\t");
    out.append(record.email).append('\t');
    appendNumber(out, record.gmFlags);
    out.append('\t');
    bool first = true;
    for (const GmFlag &flag : gmFlags) {
        if (record.gmFlags & flag.value) {
            if (!first)
                out.append('+');
            out.append(flag.name);
            first = false;
        }
    }
    out.append('\n');
}

// --- JSON: an array of objects, exactly as QJsonDocument writes it indented.

QJsonObject jsonObject(int lineNumber, const AccountRecord &record, bool showPasswords)
{
    QJsonObject object{{QStringLiteral("line"), lineNumber},
                       {QStringLiteral("username"), record.username}};
    if (showPasswords && !record.password.isEmpty())
        object.insert(QStringLiteral("password"), record.password);
    if (!record.malformed.isEmpty()) {
        object.insert(QStringLiteral("malformed"), record.malformed);
        return object;
    }
    object.insert(QStringLiteral("gender"),
                  record.male ? QStringLiteral("male") : QStringLiteral("female"));
    object.insert(QStringLiteral("email"), record.email);
    object.insert(QStringLiteral("gmFlags"), record.gmFlags);
    object.insert(QStringLiteral("gmFlagNames"),
                  QJsonArray::fromStringList(gmFlagNames(record.gmFlags)));
    return object;
}

// One object at a time, as QJsonDocument writes it inside the whole array: a listing of a
// million accounts must not hold them all in memory first.
void appendJson(QByteArray &out, const QJsonObject &object, bool first)
{
    QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Indented);
    json.chop(1); // its line end; the array's separator follows
    out += first ? "[\n    " : ",\n    ";
    out += terminalSafeJson(json.replace('\n', "\n    "));
}

// A JSON string of printable ASCII: of those characters QJsonDocument escapes the quote and the
// backslash alone.
void appendJsonString(QByteArray &out, QByteArrayView text)
{
    out.append('"');
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"' || c == '\\') {
            out.append(text.sliced(from, i - from)).append('\\').append(c);
            from = i + 1;
        }
    }
    out.append(text.sliced(from)).append('"');
}

// The object QJsonDocument writes for a plain record, keys in its order (sorted), built from the
// line's bytes.
void appendJson(QByteArray &out, int lineNumber, const PlainRecord &record, bool showPasswords,
                bool first)
{
    out.append(first ? "[\n    {\n        \"email\": " : ",\n    {\n        \"email\": ");
    appendJsonString(out, record.email);
    out.append(record.male ? ",\n        \"gender\": \"male\""
                           : ",\n        \"gender\": \"female\"");
    out.append(",\n        \"gmFlagNames\": [\n");
    bool firstName = true;
    for (const GmFlag &flag : gmFlags) {
        if (record.gmFlags & flag.value) {
            out.append(firstName ? "            \"" : ",\n            \"");
            out.append(flag.name).append('"');
            firstName = false;
        }
    }
    out.append(firstName ? "        ],\n        \"gmFlags\": "
                         : "\n        ],\n        \"gmFlags\": ");
    appendNumber(out, record.gmFlags);
    out.append(",\n        \"line\": ");
    appendNumber(out, lineNumber);
    if (showPasswords && !record.password.isEmpty()) {
        out.append(",\n        \"password\": ");
        appendJsonString(out, record.password);
    }
    out.append(",\n        \"username\": ");
    appendJsonString(out, record.username);
    out.append("\n    }");
}

// --- Columns: for a person at a terminal, aligned under a header.

enum Column
{
    LineColumn,
    NameColumn,
    PasswordColumn,
    GenderColumn,
    EmailColumn,
    GmColumn,
    ColumnCount,
};

using Cells = std::array<QString, ColumnCount>;
using Widths = std::array<qsizetype, ColumnCount>;

constexpr char columnGap[] = "  ";
// A column is as wide as its longest cell up to this: a hand-edited line with a long field sticks
// out alone rather than pushing every row past the terminal's edge. Names and passwords are 16
// characters at most.
constexpr qsizetype widestColumn = 32;

// Characters, not UTF-16 units; wide and combining characters are not told apart.
qsizetype width(const QString &text)
{
    return text.size() -
           std::count_if(text.cbegin(), text.cend(), [](QChar c) { return c.isLowSurrogate(); });
}

Cells headerCells()
{
    return {QStringLiteral("line"),   QStringLiteral("username"), QStringLiteral("password"),
            QStringLiteral("gender"), QStringLiteral("e-mail"),   QStringLiteral("GM flags")};
}

// A malformed line fills the line and name cells alone, and its reason takes the rest of the row.
Cells rowCells(int lineNumber, const AccountRecord &record, bool showPasswords, QString &reason)
{
    Cells cells{QString::number(lineNumber), printable(record.username)};
    if (!record.malformed.isEmpty()) {
        reason = QStringLiteral("(line %1 is not a well-formed record: %2)")
                     .arg(lineNumber)
                     .arg(printable(record.malformed));
        return cells;
    }
    reason.clear();
    if (showPasswords)
        cells[PasswordColumn] = printable(record.password);
    cells[GenderColumn] = record.male ? QStringLiteral("male") : QStringLiteral("female");
    cells[EmailColumn] = printable(record.email);
    cells[GmColumn] = QString::number(record.gmFlags);
    const QString names = gmFlagNames(record.gmFlags).join(u'+');
    if (!names.isEmpty())
        cells[GmColumn] += u' ' + names;
    return cells;
}

// The number always shows whole; the names after it are cut to what room is left, and say so.
QString fitGmCell(const QString &cell, qsizetype room)
{
    const qsizetype names = cell.indexOf(u' ') + 1;
    if (names == 0 || cell.size() <= room)
        return cell;
    return cell.left(std::max(names, room - 1)) + QChar(0x2026);
}

// The header passes no terminal width: it is never cut.
QString columnsRow(const Cells &cells, const QString &reason, const Widths &widths, bool passwords,
                   qsizetype terminalWidth)
{
    QString row = cells[LineColumn].rightJustified(widths[LineColumn]);
    qsizetype at = widths[LineColumn];
    for (int column = NameColumn; column < ColumnCount; ++column) {
        if (column == PasswordColumn && !passwords)
            continue;
        row += QLatin1String(columnGap);
        at += qsizetype(sizeof columnGap) - 1;
        if (column == GenderColumn && !reason.isEmpty())
            return row + reason;
        if (column == GmColumn)
            return row + fitGmCell(cells[GmColumn], terminalWidth - at);
        row += cells[column] +
               QString(std::max<qsizetype>(0, widths[column] - width(cells[column])), u' ');
        at += std::max(widths[column], width(cells[column]));
    }
    return row;
}

ListResult writeColumns(const QString &applicationFolder, const AccountPattern &pattern,
                        bool passwords, int terminalWidth, Output &output)
{
    // The widths need every row first: read the file once to measure them and once to print. A
    // row that the file gained in between only sticks out.
    Widths widths{};
    const Cells header = headerCells();
    for (int column = 0; column < ColumnCount; ++column)
        widths[column] = width(header[column]);
    QString reason;
    bool any = false;
    const ListResult measured =
        ListAccounts(applicationFolder, pattern, [&](int number, const AccountRecord &record) {
            const Cells cells = rowCells(number, record, passwords, reason);
            for (int column = 0; column < ColumnCount; ++column)
                widths[column] = std::clamp(width(cells[column]), widths[column], widestColumn);
            any = true;
        });
    if (measured.outcome != ReadOutcome::Done || !any)
        return measured;
    const auto print = [&](const Cells &cells, const QString &rowReason, qsizetype fitTo) {
        output.bytes() +=
            columnsRow(cells, rowReason, widths, passwords, fitTo).toLocal8Bit().append('\n');
        output.flushWhenFull();
    };
    print(header, QString(), std::numeric_limits<qsizetype>::max());
    return ListAccounts(applicationFolder, pattern, [&](int number, const AccountRecord &record) {
        const Cells cells = rowCells(number, record, passwords, reason);
        print(cells, reason, terminalWidth);
    });
}

} // namespace

ListResult writeListing(const CommandLine &line, ListLayout layout, int width,
                        const std::function<void(const QByteArray &)> &write)
{
    const AccountPattern pattern(line.pattern);
    const bool passwords = line.showPasswords;
    Output output(write);
    ListResult result;
    if (line.json) {
        bool first = true;
        result = ListAccounts(
            line.applicationFolder, pattern,
            [&](int number, const PlainRecord &record) {
                appendJson(output.bytes(), number, record, passwords, first);
                first = false;
                output.flushWhenFull();
            },
            [&](int number, const AccountRecord &record) {
                appendJson(output.bytes(), jsonObject(number, record, passwords), first);
                first = false;
                output.flushWhenFull();
            });
        // A listing cut short by a file error is not closed: no script can take it for a whole
        // one.
        if (result.outcome == ReadOutcome::Done)
            output.bytes() += first ? "[\n]\n" : "\n]\n";
    } else if (layout == ListLayout::Lines) {
        result = ListAccounts(
            line.applicationFolder, pattern,
            [&](int, const PlainRecord &record) {
                appendTextLine(output.bytes(), record, passwords);
                output.flushWhenFull();
            },
            [&](int number, const AccountRecord &record) {
                output.bytes() += (textLine(number, record, passwords) + u'\n').toLocal8Bit();
                output.flushWhenFull();
            });
    } else {
        result = writeColumns(line.applicationFolder, pattern, passwords, width, output);
    }
    output.flush();
    return result;
}

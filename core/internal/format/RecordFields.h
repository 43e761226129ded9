#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QStringView>
#include <QtGlobal>

// The fields of one line of the account file: username,password,gender,email,gmflags.
enum RecordField
{
    UsernameField,
    PasswordField,
    GenderField,
    EmailField,
    GmFlagsField,
    RecordFieldCount,
};

// A line cut at its commas, as bytes or as text alike. Fields hold no commas, so every comma
// ends one; a comma byte is a comma in every code page the file may be in (the second byte of a
// double-byte character is never below 0x40), so bytes and text split the same way.
template <typename View> class RecordFields
{
public:
    explicit RecordFields(View line) : m_line(line)
    {
        for (qsizetype i = 0; i < line.size(); ++i) {
            const auto unit = unitAt(line, i);
            m_high |= unit;
            if (unit == ',') {
                if (m_commas < RecordFieldCount)
                    m_commaAt[m_commas] = i;
                ++m_commas;
            }
        }
    }

    // How many fields the line holds: one more than its commas.
    qsizetype count() const { return m_commas + 1; }
    bool isRecord() const { return m_commas == RecordFieldCount - 1; }
    // No byte or character of the line is outside ASCII.
    bool isAscii() const { return m_high < 0x80; }

    // The field without its commas; empty when the line holds fewer fields.
    View field(int index) const
    {
        if (index > m_commas)
            return {};
        const qsizetype from = index == 0 ? 0 : m_commaAt[index - 1] + 1;
        const qsizetype to = index < m_commas ? m_commaAt[index] : m_line.size();
        return m_line.sliced(from, to - from);
    }

private:
    static uint unitAt(QByteArrayView line, qsizetype i) { return uchar(line.at(i)); }
    static uint unitAt(QStringView line, qsizetype i) { return line.at(i).unicode(); }

    View m_line;
    qsizetype m_commaAt[RecordFieldCount] = {}; // of the first commas
    qsizetype m_commas = 0;
    uint m_high = 0; // every unit or'ed together
};

// The bytes before the first comma, or the whole line: what the duplicate check compares. Apart
// from RecordFields, as a line of any length is cut here at its first comma, not read to its end.
inline QByteArrayView nameField(QByteArrayView line)
{
    const qsizetype comma = line.indexOf(',');
    return comma < 0 ? line : line.first(comma);
}

// The same of a line a reader may have cut short: a name field that the cut ended, rather than a
// comma, names no account, and is empty here.
inline QByteArrayView nameField(QByteArrayView line, bool lineIsCut)
{
    const QByteArrayView field = nameField(line);
    return lineIsCut && field.size() == line.size() ? QByteArrayView() : field;
}

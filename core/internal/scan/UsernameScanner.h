#pragma once

#include "core/internal/format/LineSplitter.h"
#include "core/internal/scan/PlainLines.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <algorithm>
#include <bitset>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Streams the bytes of an account file through in chunks of any size. Every line is copied byte
// for byte with a CR LF end (CR LF, LF and a lone CR all end a line when reading), and each
// line's name field (the bytes before its first comma, or the whole line) is looked up, without
// regard to case, among the usernames being added. Only name fields are decoded, and only when
// they hold non-ASCII bytes; a field that is not valid text in the code page matches nothing,
// nor does an empty one. A UTF-8 byte-order mark at the very start is copied but is not part of
// the first name.
//
// Without an output buffer it only reads, and tells how many leading bytes the copy would repeat
// unchanged: those can be copied by the system, and only the rest needs streaming through here.
class UsernameScanner
{
public:
    enum class Stop
    {
        AtFirstMatch,
        Never,
    };
    using Start = LineSplitter::Start;

    UsernameScanner(const QList<QString> &usernames, Stop stop, Start start = Start::AtFileStart);
    // Looks for the same names as another scanner of the same update, sharing what it built to
    // find them (for many names that takes longer than a scan of a small file).
    UsernameScanner(const UsernameScanner &sameNames, Start start);
    UsernameScanner(const UsernameScanner &) = delete;
    UsernameScanner &operator=(const UsernameScanner &) = delete;

    // Appends the copy of what it can of chunk to out, when given; the chunk's memory may take
    // other bytes once this returns. Returns false once a match has ended the scan.
    bool feed(QByteArrayView chunk, QByteArray *out);
    bool feed(QByteArrayView chunk, QByteArray &out) { return feed(chunk, &out); }
    // The end of the file: a last line without an end gets CR LF. Returns false on a match.
    bool finish(QByteArray *out);
    bool finish(QByteArray &out) { return finish(&out); }

    bool stopsAtFirstMatch() const { return m_stop == Stop::AtFirstMatch; }
    // Indexes into usernames of the names found in the file, in the order first found.
    const QList<int> &matches() const { return m_matches; }
    // The line of the first of them, numbered from 1 as an editor numbers them (from where the
    // scan started, for one started AtLineStart), and its name field as the file spells it.
    // 0 and empty while none is found.
    qint64 firstMatchLine() const { return m_firstMatchLine; }
    const QString &firstMatchName() const { return m_firstMatchName; }
    // Where the line of the first match starts in the bytes scanned, and how many lines matched
    // any name: an edit needs its one line, and must refuse a name found twice.
    qint64 firstMatchStart() const { return m_firstMatchStart; }
    qint64 matchedLines() const { return m_matchedLines; }
    // After finish(): the length of the longest start of the bytes that the copy repeats as it
    // is. It ends at the start of a line (or at the end): the first line whose end the copy
    // changes, and all after it, must go through a scanner started AtLineStart.
    qint64 unchangedBytes() const { return m_unchanged < 0 ? m_bytesSeen : m_unchanged; }
    // Bytes fed so far.
    qint64 bytesSeen() const { return m_bytesSeen; }
    // Takes over the findings of a scanner that read, to its end, the bytes that follow the
    // ones this one has finished with (it started AtLineStart where this one ended).
    void append(const UsernameScanner &next);

private:
    // Returns false when the scan must stop here.
    bool scanLines(QByteArray *out);
    bool takeLine(const LineSplitter::Line &line, QByteArray *out);
    // False when the rest goes on in the next chunk.
    bool passRest(QByteArray *out);
    void lineEnded(LineSplitter::End end, QByteArray *out);
    bool skipPlainLines(QByteArray *out);
    // Inline, as it runs for every line: most lines are refused by the length of their name
    // alone.
    bool endOfNameField(std::string_view field, bool nonAscii)
    {
        if (field.empty() ||
            (!nonAscii && !m_names->asciiLengths[std::min<size_t>(field.size(), 255)]))
            return true;
        return lookUpName(field, nonAscii);
    }
    bool lookUpName(std::string_view field, bool nonAscii);
    int lookUp(std::string_view field, bool nonAscii);
    int lookUpAscii(std::string_view field);
    // The copy goes out in spans of lines that keep their bytes; each span lies in the chunk
    // or in the splitter's own bytes, and goes out before either may change.
    void keepAsIs(const char *from, const char *to, QByteArray *out)
    {
        if (from != m_spanEnd) {
            flushSpan(out);
            m_spanBegin = from;
        }
        m_spanEnd = to;
    }
    void flushSpan(QByteArray *out);
    void lineChanged(qint64 lineStart);

    // The names looked for, in the forms the scan compares fields with.
    struct Names
    {
        qsizetype maxFieldBytes = 0;
        std::vector<std::string> asciiKeys; // per username; empty when its key is not ASCII
        std::unordered_map<std::string_view, int> asciiIndex; // views into asciiKeys
        // Quick refusals of an ASCII field: no ASCII key has its length or its first letter.
        std::bitset<256> asciiLengths;
        std::bitset<256> asciiFirstBytes;
        std::vector<int> asciiLengthList; // the lengths the plain-line scan looks for
        // Null where the processor has no plain-line scan, or a name is too long for it.
        PlainLineSkipper skipPlainLines = nullptr;
        QHash<QString, int> unicodeKeys; // the keys that are not ASCII
    };
    static std::shared_ptr<const Names> namesFor(const QList<QString> &usernames);
    static void preparePlainScan(Names &names);

    Stop m_stop;
    std::shared_ptr<const Names> m_names;
    std::string m_folded;
    LineSplitter m_lines;

    bool m_stopped = false;
    bool m_tryPlainLines = true; // the last line ended in CR LF: the next ones likely do too
    bool m_inRest = false;       // of a cut line, whose end the next chunk may hold
    bool m_markCopied = false;
    const char *m_spanBegin = nullptr;
    const char *m_spanEnd = nullptr;

    qint64 m_bytesSeen = 0;
    qint64 m_lineStart = 0;  // where the current line began
    qint64 m_unchanged = -1; // where the first changed line began; -1 while none has
    // Of the bytes the plain-line scan goes through.
    const char *m_aheadBegin = nullptr;
    qint64 m_aheadOffset = 0;

    long long m_lineEnds = 0; // before the current line; the plain-line scan counts into it
    qint64 m_firstMatchLine = 0;
    qint64 m_firstMatchStart = 0;
    qint64 m_matchedLines = 0;
    qint64 m_lastMatchStart = 0;
    QString m_firstMatchName;

    QList<int> m_matches;
    std::vector<bool> m_found;
};

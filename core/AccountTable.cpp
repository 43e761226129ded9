#include "core/AccountTable.h"

#include "core/AccountFile.h"
#include "core/AccountPattern.h"
#include "core/GmFlags.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/format/NameKey.h"
#include "core/internal/scan/AccountLineReader.h"
#include "core/internal/scan/CoreAffinity.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

namespace {

enum LineKind : quint8
{
    Malformed = 1,
    Plain = 2,
    Cut = 4, // longer than the reader hands out whole: only its start is kept
};

// Far above a record's few dozen bytes, and small enough that a plain line's field offsets fit
// in a byte each.
constexpr qsizetype plainLineLimit = 255;

// Past this many lines the filter takes the second core too: starting a thread costs about what
// filtering a few thousand lines does.
constexpr qsizetype filterSplitLines = 100000;
// The same for shaping the lines a load read.
constexpr qsizetype shapeSplitLines = 4096;

// The load reads this many bytes of lines, then shapes them and reports its progress.
constexpr qsizetype batchBytes = 2 * 1024 * 1024;

// One line to sort: its number, or the first eight bytes of its key (big-endian, so that
// comparing the numbers orders as comparing the bytes does), and where its whole key lies.
struct SortEntry
{
    quint64 prefix = 0;
    qsizetype keyStart = 0;
    qsizetype keyLength = 0;
    qsizetype index = 0;
};

quint64 keyPrefix(QByteArrayView key)
{
    quint64 prefix = 0;
    for (qsizetype i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key.at(i)) : 0u);
    return prefix;
}

} // namespace

void AccountTable::clear()
{
    m_accountPath.clear();
    m_bytes.clear();
    m_lineStarts.clear();
    m_shapes.clear();
    m_otherLines.clear();
    m_otherKeys.clear();
    m_malformedCount = 0;
}

AccountTable::LineShape AccountTable::shapeLine(qsizetype index, OtherLines &others) const
{
    const QByteArrayView text = line(index);
    LineShape shape;
    if (text.size() <= plainLineLimit) {
        const RecordFields fields(text);
        if (fields.isAscii()) {
            shape.kind |= Plain;
            shape.nameEnd = quint8(fields.field(UsernameField).size());
            if (fields.isRecord()) {
                const QByteArrayView email = fields.field(EmailField);
                shape.emailStart = quint8(email.data() - text.data());
                shape.emailEnd = quint8(shape.emailStart + email.size());
            }
            if (!parsePlainRecord(text))
                shape.kind |= Malformed;
            return shape;
        }
    }
    const AccountRecord shown = parseRecord(text);
    if (!shown.malformed.isEmpty())
        shape.kind |= Malformed;
    OtherLine other;
    other.index = index;
    other.keyStart = others.keys.size();
    others.keys.append(caseInsensitiveKey(shown.username).toUtf8());
    other.nameKeyLength = quint32(others.keys.size() - other.keyStart);
    others.keys.append(caseInsensitiveKey(shown.email).toUtf8());
    other.emailKeyLength = quint32(others.keys.size() - other.keyStart - other.nameKeyLength);
    others.lines.append(other);
    return shape;
}

// Lines read but not yet shaped, from the first on.
void AccountTable::shapeLines(qsizetype from, qsizetype to)
{
    m_shapes.resize(to);
    LineShape *const shapes = m_shapes.data();
    const auto shapeRun = [&](qsizetype first, qsizetype end, OtherLines &others) {
        for (qsizetype i = first; i < end; ++i)
            shapes[i] = shapeLine(i, others);
    };
    OtherLines parts[2];
    const qsizetype half = from + (to - from) / 2;
    if (to - from < shapeSplitLines) {
        shapeRun(from, to, parts[0]);
    } else {
        // Decoding the lines that are not ASCII is most of a load's work when there are many.
        const int starterCore = currentCore();
        std::thread helper([&] {
            leaveCore(starterCore);
            shapeRun(half, to, parts[1]);
        });
        shapeRun(from, half, parts[0]);
        helper.join();
    }
    for (OtherLines &part : parts) {
        for (OtherLine &other : part.lines)
            other.keyStart += m_otherKeys.size();
        m_otherLines.append(part.lines);
        m_otherKeys.append(part.keys);
    }
    m_malformedCount += std::count_if(
        shapes + from, shapes + to, [](const LineShape &shape) { return shape.kind & Malformed; });
}

AccountTable::LoadResult
AccountTable::load(const QString &applicationFolder,
                   const std::function<void(qint64 bytesRead, qint64 fileSize)> &progress,
                   const std::atomic_bool *cancel)
{
    clear();
    const QString accountPath = ::accountFilePath(applicationFolder);
    LoadResult result;
    // Without a lock: the file is replaced only by a rename, so the open file is one whole
    // version of it from start to end.
    AccountFileUpdate update(accountPath);
    if (Failure failure = update.open(AccountFileUpdate::Locking::None)) {
        result.errorText = fileReadErrorText(accountPath, *failure);
        return result;
    }
    const Result<qint64> size = update.source().size();
    if (!size) {
        result.errorText = fileReadErrorText(accountPath, *size.failure());
        return result;
    }
    const qint64 fileSize = *size;
    m_bytes.reserve(fileSize);
    m_lineStarts.reserve(fileSize / 40);
    m_shapes.reserve(fileSize / 40);

    AccountLineReader reader(update.source());
    QByteArrayView line;
    QList<qsizetype> cutLines;
    qint64 bytesRead = 0;
    bool more = true;
    while (more) {
        // A batch is read, and then shaped on both cores while no line is added.
        const qsizetype batchStart = lineCount();
        const qsizetype batchEnd = m_bytes.size() + batchBytes;
        while ((more = reader.next(line))) {
            if (reader.lineIsCut())
                cutLines.append(lineCount());
            m_lineStarts.append(m_bytes.size());
            m_bytes.append(line);
            bytesRead += line.size() + 1;
            if (m_bytes.size() >= batchEnd)
                break;
        }
        if (reader.failed()) {
            clear();
            result.errorText = fileReadErrorText(accountPath, reader.errorText());
            return result;
        }
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            clear();
            result.outcome = ReadOutcome::Cancelled;
            return result;
        }
        shapeLines(batchStart, lineCount());
        for (const qsizetype cut : std::as_const(cutLines))
            m_shapes[cut].kind |= Cut;
        cutLines.clear();
        if (progress && more)
            progress(std::min(bytesRead, fileSize), fileSize);
    }
    // Room reserved for lines shorter than expected is given back.
    m_lineStarts.squeeze();
    m_shapes.squeeze();
    if (progress)
        progress(fileSize, fileSize);
    m_accountPath = accountPath;
    result.outcome = ReadOutcome::Done;
    return result;
}

QByteArrayView AccountTable::line(qsizetype index) const
{
    const qsizetype start = m_lineStarts.at(index);
    const qsizetype end =
        index + 1 < m_lineStarts.size() ? m_lineStarts.at(index + 1) : m_bytes.size();
    return QByteArrayView(m_bytes).sliced(start, end - start);
}

AccountRecord AccountTable::record(qsizetype index) const
{
    return parseRecord(line(index));
}

bool AccountTable::isMalformed(qsizetype index) const
{
    return m_shapes.at(index).kind & Malformed;
}

bool AccountTable::isPlain(qsizetype index) const
{
    return m_shapes.at(index).kind & Plain;
}

QByteArrayView AccountTable::plainName(qsizetype index) const
{
    return QByteArrayView(m_bytes.constData() + m_lineStarts.at(index), m_shapes.at(index).nameEnd);
}

QByteArrayView AccountTable::plainEmail(qsizetype index) const
{
    const LineShape &shape = m_shapes.at(index);
    return QByteArrayView(m_bytes.constData() + m_lineStarts.at(index) + shape.emailStart,
                          shape.emailEnd - shape.emailStart);
}

QList<AccountTable::OtherLine>::const_iterator AccountTable::otherLineFrom(qsizetype index) const
{
    return std::lower_bound(m_otherLines.cbegin(), m_otherLines.cend(), index,
                            [](const OtherLine &other, qsizetype i) { return other.index < i; });
}

QByteArrayView AccountTable::nameKey(const OtherLine &other) const
{
    return QByteArrayView(m_otherKeys).sliced(other.keyStart, other.nameKeyLength);
}

QByteArrayView AccountTable::emailKey(const OtherLine &other) const
{
    return QByteArrayView(m_otherKeys)
        .sliced(other.keyStart + other.nameKeyLength, other.emailKeyLength);
}

QList<qsizetype> AccountTable::filter(const QString &text) const
{
    const AccountPattern pattern(text);
    QList<qsizetype> kept;
    if (pattern.matchesEverything()) {
        kept.resize(lineCount());
        std::iota(kept.begin(), kept.end(), qsizetype(0));
        return kept;
    }
    const auto filterLines = [&](qsizetype from, qsizetype to, QList<qsizetype> &matching) {
        auto other = otherLineFrom(from);
        for (qsizetype i = from; i < to; ++i) {
            bool matches = false;
            if (isPlain(i)) {
                matches = pattern.matchesAscii(plainName(i)) || pattern.matchesAscii(plainEmail(i));
            } else {
                matches =
                    pattern.matchesKey(nameKey(*other)) || pattern.matchesKey(emailKey(*other));
                ++other;
            }
            if (matches)
                matching.append(i);
        }
    };
    if (lineCount() < filterSplitLines) {
        filterLines(0, lineCount(), kept);
        return kept;
    }
    // Each keystroke filters the whole file again: the second half goes to the second core.
    const qsizetype half = lineCount() / 2;
    QList<qsizetype> secondHalf;
    const int starterCore = currentCore();
    std::thread helper([&] {
        leaveCore(starterCore);
        filterLines(half, lineCount(), secondHalf);
    });
    filterLines(0, half, kept);
    helper.join();
    kept.append(secondHalf);
    return kept;
}

void AccountTable::sort(QList<qsizetype> &indexes, RecordField field, Qt::SortOrder order) const
{
    // A malformed line has no fields to compare: whatever the order, such lines go after the
    // well-formed ones, keeping their order among themselves.
    const auto firstMalformed = std::stable_partition(
        indexes.begin(), indexes.end(), [this](qsizetype i) { return !isMalformed(i); });
    const qsizetype wellFormed = firstMalformed - indexes.begin();

    QByteArray keys;
    std::vector<SortEntry> entries;
    entries.reserve(size_t(wellFormed));
    const auto addKey = [&](SortEntry &entry, QByteArrayView key) {
        entry.prefix = keyPrefix(key);
        entry.keyStart = keys.size();
        entry.keyLength = key.size();
        keys.append(key);
    };
    QByteArray folded;
    for (qsizetype k = 0; k < wellFormed; ++k) {
        const qsizetype index = indexes.at(k);
        SortEntry entry;
        entry.index = index;
        const QByteArrayView text = line(index);
        const bool plain = isPlain(index);
        switch (field) {
        case UsernameField:
        case EmailField:
            if (plain) {
                // The key of ASCII text: its bytes folded one by one.
                const QByteArrayView bytes =
                    field == UsernameField ? plainName(index) : plainEmail(index);
                folded.resize(bytes.size());
                std::transform(bytes.begin(), bytes.end(), folded.begin(), asciiFold);
                addKey(entry, folded);
            } else {
                const OtherLine &other = *otherLineFrom(index);
                addKey(entry, field == UsernameField ? nameKey(other) : emailKey(other));
            }
            break;
        case PasswordField:
            addKey(entry, RecordFields(text).field(PasswordField));
            break;
        case GenderField:
            entry.prefix = quint64(RecordFields(text).field(GenderField).at(0) - '0');
            break;
        default:
            entry.prefix = quint64(
                AccountFileFormat::plainNumber(RecordFields(text).field(GmFlagsField), allGmFlags)
                    .value_or(0));
            break;
        }
        entries.push_back(entry);
    }

    // Keys compare as bytes: the UTF-8 of a key orders as its code points do, and the key of
    // ASCII text is its own UTF-8.
    const char *const keyBytes = keys.constData();
    const auto less = [keyBytes](const SortEntry &a, const SortEntry &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const int compared = std::memcmp(keyBytes + a.keyStart, keyBytes + b.keyStart,
                                         size_t(std::min(a.keyLength, b.keyLength)));
        return compared != 0 ? compared < 0 : a.keyLength < b.keyLength;
    };
    if (order == Qt::AscendingOrder)
        std::stable_sort(entries.begin(), entries.end(), less);
    else
        std::stable_sort(entries.begin(), entries.end(),
                         [&less](const SortEntry &a, const SortEntry &b) { return less(b, a); });
    for (qsizetype k = 0; k < wellFormed; ++k)
        indexes[k] = entries[size_t(k)].index;
}

qsizetype AccountTable::find(const QString &username, qsizetype from) const
{
    const NameMatcher matcher(username);
    const QByteArray key = caseInsensitiveKey(username).toUtf8();
    auto other = otherLineFrom(from);
    for (qsizetype i = from; i < lineCount(); ++i) {
        if (isPlain(i)) {
            if (matcher.matches(plainName(i)))
                return i;
            continue;
        }
        const QByteArrayView storedKey = nameKey(*other++);
        // A well-formed line is valid text, and the key of its name was made at load.
        if (!isMalformed(i)) {
            if (storedKey == key)
                return i;
            continue;
        }
        if (matcher.matches(nameField(line(i), m_shapes.at(i).kind & Cut)))
            return i;
    }
    return -1;
}

bool AccountTable::isNameRepeated(qsizetype index) const
{
    const QString username = record(index).username;
    return find(username) != index || find(username, index + 1) >= 0;
}

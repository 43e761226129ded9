#include "core/internal/format/LineSplitter.h"
#include "tests/support/ModelLines.h"

#include <QTest>

#include <algorithm>

class LineSplitterTest : public QObject
{
    Q_OBJECT

private slots:
    void linesAreTheSameHoweverTheBytesArrive_data();
    void linesAreTheSameHoweverTheBytesArrive();
    void aChunkIsHeldOnlyUntilMoreIsAskedFor_data();
    void aChunkIsHeldOnlyUntilMoreIsAskedFor();
};

void LineSplitterTest::linesAreTheSameHoweverTheBytesArrive_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("every kind of end") << QByteArray("a,1\r\nb,2\nc,3\rd,4");
    QTest::newRow("empty lines") << QByteArray("\r\n\n\r\r\nx\r");
    QTest::newRow("a byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                     "a\r\nb\r\n");
    QTest::newRow("a mark and nothing else") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("a cut line among whole ones") << QByteArray("ab\r\nabcdefghij\r\nabcde\nz");
    QTest::newRow("exactly the longest, and one byte more")
        << QByteArray("abcde\r\nabcdef\r\nabcde\rabcdef\nabcde");
}

// Every way of cutting the bytes into chunks must give the lines of the plainest reader, each
// at its offset and with its own end; a line longer than five bytes is cut there, and its rest
// follows in pieces, while one of exactly five bytes is whole.
void LineSplitterTest::linesAreTheSameHoweverTheBytesArrive()
{
    QFETCH(QByteArray, bytes);
    constexpr qsizetype longest = 5;
    const qsizetype markSize = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const QList<QByteArray> expected = modelLines(bytes.mid(markSize));
    for (qsizetype chunk = 1; chunk <= bytes.size(); ++chunk) {
        LineSplitter splitter(longest);
        qsizetype fed = 0;
        const auto more = [&] {
            if (fed == bytes.size())
                return splitter.finish();
            splitter.feed(QByteArrayView(bytes).sliced(fed, qMin(chunk, bytes.size() - fed)));
            fed += chunk;
            fed = qMin(fed, bytes.size());
        };
        QList<QByteArray> lines;
        LineSplitter::Line line;
        for (LineSplitter::Step step; (step = splitter.next(line)) != LineSplitter::Step::Done;) {
            if (step == LineSplitter::Step::NeedMore) {
                more();
                continue;
            }
            QCOMPARE(bytes.mid(line.offset, line.bytes.size()), line.bytes.toByteArray());
            QByteArray whole = line.bytes.toByteArray();
            QByteArrayView piece;
            while (splitter.lineIsCut() &&
                   (step = splitter.nextPiece(piece)) != LineSplitter::Step::Done) {
                if (step == LineSplitter::Step::NeedMore)
                    more();
                else
                    whole += piece.toByteArray();
            }
            QCOMPARE(line.bytes.size() <= longest, true);
            QCOMPARE(splitter.lineIsCut(), whole.size() > longest);
            lines.append(whole);
        }
        QCOMPARE(lines, expected);
        QCOMPARE(splitter.byteOrderMark().size(), markSize);
    }
}

void LineSplitterTest::aChunkIsHeldOnlyUntilMoreIsAskedFor_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("midFile");
    QTest::newRow("ends of each kind, within chunks and across")
        << QByteArray("ab\r\ncd\nef\rgh\r\n\rij") << false;
    QTest::newRow("a mark across chunks") << QByteArray("\xEF\xBB\xBF"
                                                        "ab\r\ncd")
                                          << false;
    QTest::newRow("a mark's bytes mid-file start a line") << QByteArray("\xEF\xBB\xBF"
                                                                        "ab\r\ncd")
                                                          << true;
    QTest::newRow("cut lines across chunks")
        << QByteArray("ab\r\nabcdefghij\r\nabcdefg\rx") << false;
}

// The bytes go through one buffer, spoilt each time the splitter asks for more: the lines, their
// ends and the rests of cut lines must still make up the bytes. A line that lies in one chunk
// with the byte after it (or its LF end) is handed out from the chunk, not copied.
void LineSplitterTest::aChunkIsHeldOnlyUntilMoreIsAskedFor()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, midFile);
    const QByteArray ends[] = {"\r\n", "\n", "\r", ""}; // by End
    for (qsizetype chunk = 1; chunk <= bytes.size(); ++chunk) {
        LineSplitter splitter(5, midFile ? LineSplitter::Start::AtLineStart
                                         : LineSplitter::Start::AtFileStart);
        QByteArray buffer(chunk, '#');
        qsizetype fed = 0;
        const auto more = [&] {
            buffer.fill('#');
            const qsizetype size = qMin(chunk, bytes.size() - fed);
            if (size == 0)
                return splitter.finish();
            std::copy_n(bytes.constData() + fed, size, buffer.data());
            splitter.feed(QByteArrayView(buffer.constData(), size));
            fed += size;
        };
        QByteArray rebuilt;
        LineSplitter::Line line;
        for (LineSplitter::Step step; (step = splitter.next(line)) != LineSplitter::Step::Done;) {
            if (step == LineSplitter::Step::NeedMore) {
                more();
                continue;
            }
            const QByteArrayView start = line.bytes;
            const bool cut = splitter.lineIsCut();
            rebuilt += start.toByteArray();
            LineSplitter::End end = line.end;
            QByteArrayView piece;
            while (splitter.lineIsCut() &&
                   (step = splitter.nextPiece(piece, &end)) != LineSplitter::Step::Done) {
                if (step == LineSplitter::Step::NeedMore)
                    more();
                else
                    rebuilt += piece.toByteArray();
            }
            rebuilt += ends[int(end)];
            const qsizetype inChunk = line.offset % chunk;
            const qsizetype chunkSize = qMin(chunk, bytes.size() - (line.offset - inChunk));
            const qsizetype needed = start.size() + (end == LineSplitter::End::Lf ? 1 : 2);
            if (!cut && end != LineSplitter::End::None)
                QCOMPARE(start.data() == buffer.constData() + inChunk,
                         inChunk + needed <= chunkSize);
        }
        QCOMPARE(splitter.byteOrderMark().toByteArray() + rebuilt, bytes);
    }
}

QTEST_APPLESS_MAIN(LineSplitterTest)
#include "tst_linesplitter.moc"

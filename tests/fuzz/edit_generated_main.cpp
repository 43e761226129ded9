// Runs the edit fuzz target over generated account files: lines from a small set of names in
// several letter cases, lines without commas, empty and undecodable lines, mixed line ends, a
// byte-order mark or none, and chunk-sized lines; then over any corpus folders named on the
// command line. Deterministic, so that every build checks the same cases.

#include "tests/fuzz/ReplayCorpus.h"

#include <QRandomGenerator>

#include <cstdint>
#include <cstdio>

namespace {

const QByteArray names[] = {"alice",
                            "ALICE",
                            "Alice",
                            "bob",
                            "\xe2\x84\xaa"
                            "elvin",
                            "kelvin",
                            "\xc3\x9c"
                            "ber",
                            "\xc3\xbc"
                            "BER",
                            "",
                            "\xff\xfe",
                            "carol"};
const QByteArray ends[] = {"\r\n", "\n", "\r", "\r\n"};
constexpr qsizetype readSize = 256 * 1024;

QByteArray generate(QRandomGenerator &random)
{
    QByteArray file;
    if (random.bounded(3) == 0)
        file = "\xEF\xBB\xBF";
    const int lines = random.bounded(8);
    for (int i = 0; i < lines; ++i) {
        const QByteArray &name = names[random.bounded(int(std::size(names)))];
        switch (random.bounded(12)) {
        case 0:
        case 1:
            file += name; // no comma
            break;
        case 2:
        case 3:
            file += name + ",pw,1"; // too few fields
            break;
        case 4: {
            // From half a read of the edit to one and a half, ending where a read ends, give or
            // take a byte: a CR LF there is cut in two by the reads, or ends one, or starts one.
            const QByteArray fields = ",0,none,0";
            const qsizetype fixed = file.size() + name.size() + 1 + fields.size();
            const qsizetype readEnd = (fixed + readSize / 2) / readSize * readSize + readSize;
            file += name + "," + QByteArray(readEnd - fixed + random.bounded(-2, 1), 'p') + fields;
            break;
        }
        default:
            file += name + ",pw" + QByteArray::number(i) + ",1,none," + QByteArray::number(i);
        }
        if (i + 1 < lines || random.bounded(2) == 0)
            file += ends[random.bounded(int(std::size(ends)))];
    }
    QByteArray input(1, char(random.bounded(256)));
    const QByteArray &name = names[random.bounded(int(std::size(names)))];
    input += char(name.size()) + name + file;
    return input;
}

} // namespace

int main(int argc, char *argv[])
{
    int count = 0;
    QRandomGenerator random(20261208);
    for (; count < 1500; ++count) {
        const QByteArray input = generate(random);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()),
                               size_t(input.size()));
    }
    const int replayed = replayCorpus(argc, argv);
    if (replayed < 0)
        return 1;
    count += replayed;
    std::printf("%d passed, 0 failed\n", count);
    return 0;
}

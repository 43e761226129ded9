#pragma once

#include <QDirIterator>
#include <QFile>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// Runs the fuzz target over every file in the folders named on the command line (the committed
// seed corpus), so that compilers without libFuzzer still check every seed. The number of files
// run, or -1 when one cannot be read.
inline int replayCorpus(int argc, char *argv[])
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        QDirIterator files(QString::fromLocal8Bit(argv[i]), QDir::Files);
        while (files.hasNext()) {
            QFile file(files.next());
            if (!file.open(QIODevice::ReadOnly))
                return -1;
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                   size_t(bytes.size()));
            ++count;
        }
    }
    return count;
}

#include "cli/ProgramArguments.h"

#include <QFileInfo>
#include <QStringDecoder>

QStringList programArguments(int argc, char *argv[], int &undecodable)
{
    undecodable = 0;
    QStringList arguments;
    arguments.reserve(argc);
    // An argument has no signature: a byte-order mark at its start is the character U+FEFF,
    // which the rules refuse, as they do anywhere else in it.
    QStringDecoder decoder(QStringDecoder::System, QStringConverter::Flag::ConvertInitialBom);
    for (int i = 0; i < argc; ++i) {
        decoder.resetState();
        arguments.append(decoder.decode(QByteArrayView(argv[i])));
        if (decoder.hasError() && undecodable == 0)
            undecodable = i;
    }
    return arguments;
}

QString programFolder()
{
    const QFileInfo program(QStringLiteral("/proc/self/exe"));
    const QString resolved = program.canonicalFilePath();
    return resolved.isEmpty() ? QString() : QFileInfo(resolved).absolutePath();
}

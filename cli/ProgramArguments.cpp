#include "cli/ProgramArguments.h"

#include <QFileInfo>
#include <QStringDecoder>

#ifdef Q_OS_WIN
#include <windows.h>

#include <shellapi.h>

QStringList programArguments(int, char *[], int &undecodable)
{
    undecodable = 0;
    QStringList arguments;
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return arguments;
    for (int i = 0; i < count; ++i)
        arguments.append(QString::fromWCharArray(wide[i]));
    LocalFree(wide);
    return arguments;
}

QString programFolder()
{
    // Long paths can exceed MAX_PATH; grow until the name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return QString();
        if (length < buffer.size())
            return QFileInfo(QString::fromWCharArray(buffer.data(), int(length))).absolutePath();
        buffer.resize(buffer.size() * 2);
    }
}

#else

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

#endif

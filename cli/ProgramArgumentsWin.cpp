#include "cli/ProgramArguments.h"

#include <QFileInfo>
#include <QStringDecoder>

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

#include "cli/TerminalInput.h"

#include <QString>

#include <cstdio>
#include <iterator>

#include <windows.h>

namespace {

class EchoOff
{
public:
    EchoOff() : m_handle(GetStdHandle(STD_INPUT_HANDLE))
    {
        m_active = GetConsoleMode(m_handle, &m_saved) &&
                   SetConsoleMode(m_handle, m_saved & ~DWORD(ENABLE_ECHO_INPUT));
    }
    ~EchoOff()
    {
        if (m_active)
            SetConsoleMode(m_handle, m_saved);
    }

private:
    HANDLE m_handle;
    DWORD m_saved = 0;
    bool m_active = false;
};

} // namespace

// The console hands its bytes over in its own code page (the OEM one), not in the ANSI code
// page in which the rest of kadd reads text: "ä" would arrive as another character. Read as
// UTF-16, the line is what was typed.
std::optional<QString> readTypedLine(QByteArrayView prompt)
{
    const EchoOff echoOff;
    std::fwrite(prompt.data(), 1, size_t(prompt.size()), stderr);
    std::fflush(stderr);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    QString line;
    wchar_t chunk[256];
    DWORD got = 0;
    while (!line.contains(u'\n') && line.size() <= longestInputLine &&
           ReadConsoleW(input, chunk, DWORD(std::size(chunk)), &got, nullptr) && got > 0)
        line.append(QString::fromWCharArray(chunk, int(got)));
    if (const qsizetype end = line.indexOf(u'\n'); end >= 0)
        line.truncate(end);
    if (line.endsWith(u'\r'))
        line.chop(1);
    // The console echoes no line end when echo is off.
    std::fputc('\n', stderr);
    return line;
}

// A console, not the NUL device, which is a character device too.
bool inputIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

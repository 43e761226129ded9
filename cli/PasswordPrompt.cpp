#include "cli/PasswordPrompt.h"

#include <QByteArray>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN

bool inputIsTerminal()
{
    return _isatty(_fileno(stdin)) != 0;
}

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

#else

bool inputIsTerminal()
{
    return isatty(STDIN_FILENO) != 0;
}

termios savedTerminal;
volatile std::sig_atomic_t echoIsOff = 0;

// Ctrl-C at the prompt must not leave the operator's terminal without echo.
extern "C" void restoreEchoAndDie(int signalNumber)
{
    if (echoIsOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

class EchoOff
{
public:
    EchoOff()
    {
        if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
            return;
        m_previousInt = std::signal(SIGINT, restoreEchoAndDie);
        m_previousTerm = std::signal(SIGTERM, restoreEchoAndDie);
        termios quiet = savedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        echoIsOff = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (echoIsOff)
            tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        echoIsOff = 0;
        if (m_previousInt != SIG_ERR) {
            std::signal(SIGINT, m_previousInt);
            std::signal(SIGTERM, m_previousTerm);
        }
    }

private:
    void (*m_previousInt)(int) = SIG_ERR;
    void (*m_previousTerm)(int) = SIG_ERR;
};

#endif

QString readLine()
{
    // C stdio rather than iostreams: <iostream> alone costs every kadd start its locale set-up.
    QByteArray line;
    for (int c = std::getc(stdin); c != EOF && c != '\n'; c = std::getc(stdin))
        line.append(char(c));
    // A password file written on Windows ends its line with CR LF.
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}

} // namespace

QString readPassword(const QString &prompt)
{
    if (!inputIsTerminal())
        return readLine();
    const QByteArray promptBytes = prompt.toLocal8Bit();
    std::fwrite(promptBytes.constData(), 1, size_t(promptBytes.size()), stderr);
    std::fflush(stderr);
    EchoOff echoOff;
    const QString line = readLine();
#ifdef Q_OS_WIN
    // The console echoes no line end when echo is off.
    std::fputc('\n', stderr);
#endif
    return line;
}

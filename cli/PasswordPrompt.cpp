#include "cli/PasswordPrompt.h"

#include "cli/Console.h"

#include <QByteArray>
#include <QStringDecoder>

#include <cstdio>
#include <iterator>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN

// A console, not the NUL device, which is a character device too.
bool inputIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
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
termios quietTerminal;
volatile std::sig_atomic_t echoIsOff = 0;

// Every signal whose default action ends the program: whichever ends it at the prompt, be it
// Ctrl-C, a timer or another program's kill, must not leave the operator's terminal without
// echo. The real-time signals end it too and are added at run time.
constexpr int fixedEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};
constexpr int stoppingSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

extern "C" void restoreEchoAndDie(int signalNumber)
{
    if (echoIsOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

// Ctrl-Z gives the terminal back as it was; fg brings the prompt back without echo. The shell
// turns echo on while kadd is stopped, and would otherwise show the rest of the password.
extern "C" void restoreEchoAndStop(int signalNumber)
{
    const int savedErrno = errno;
    if (echoIsOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signalNumber, SIG_DFL);
    // The signal is blocked while its handler runs; the stop must happen now, not on return.
    sigset_t own;
    sigemptyset(&own);
    sigaddset(&own, signalNumber);
    sigprocmask(SIG_UNBLOCK, &own, nullptr);
    std::raise(signalNumber);
    // Continued here.
    std::signal(signalNumber, restoreEchoAndStop);
    if (echoIsOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &quietTerminal);
    errno = savedErrno;
}

class EchoOff
{
public:
    EchoOff()
    {
        if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
            return;
        for (const int signalNumber : fixedEndingSignals)
            handle(signalNumber, restoreEchoAndDie);
#ifdef SIGRTMIN
        for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber)
            handle(signalNumber, restoreEchoAndDie);
#endif
        for (const int signalNumber : stoppingSignals)
            handle(signalNumber, restoreEchoAndStop);
        quietTerminal = savedTerminal;
        quietTerminal.c_lflag &= ~tcflag_t(ECHO);
        quietTerminal.c_lflag |= ECHONL;
        // Marked first: a signal that comes right after echo goes off must still bring it back.
        echoIsOff = 1;
        echoIsOff = tcsetattr(STDIN_FILENO, TCSANOW, &quietTerminal) == 0;
        m_installed = true;
    }
    ~EchoOff()
    {
        if (echoIsOff)
            tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        echoIsOff = 0;
        if (!m_installed)
            return;
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
            if (m_handled[signalNumber])
                std::signal(signalNumber, SIG_DFL);
        }
    }

private:
    // Only where the signal would simply end the program: an ignored one (nohup's SIGHUP) stays
    // ignored, and a handler someone else set up stays in charge.
    void handle(int signalNumber, void (*handler)(int))
    {
        if (signalNumber <= 0 || signalNumber >= NSIG)
            return;
        struct sigaction current = {};
        m_handled[signalNumber] =
            sigaction(signalNumber, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
            current.sa_handler == SIG_DFL && std::signal(signalNumber, handler) != SIG_ERR;
    }

    bool m_handled[NSIG] = {};
    bool m_installed = false;
};

#endif

// Far beyond any password the rules let in; a line without end (kadd add x < /dev/zero) must
// not take all memory.
constexpr qsizetype longestLine = 4096;
constexpr char utf8ByteOrderMark[] = "\xEF\xBB\xBF";

std::optional<QString> readLine()
{
    // C stdio rather than iostreams: <iostream> alone costs every kadd start its locale set-up.
    QByteArray line;
    for (int c = std::getc(stdin); c != EOF && c != '\n'; c = std::getc(stdin)) {
        line.append(char(c));
        if (line.size() > longestLine)
            return QString::fromLocal8Bit(line); // too long: the length rule refuses it
    }
    // A password file written on Windows ends its line with CR LF, and may start with a UTF-8
    // byte-order mark: the start of standard input, where it is a signature. Anywhere else it
    // is the character U+FEFF, which the rules refuse.
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith(utf8ByteOrderMark))
        line.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::System, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(line);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

#ifdef Q_OS_WIN
// The console hands its bytes over in its own code page (the OEM one), not in the ANSI code
// page in which the rest of kadd reads text: "ä" would arrive as another character. Read as
// UTF-16, the line is what was typed.
std::optional<QString> readTypedLine()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    QString line;
    wchar_t chunk[256];
    DWORD got = 0;
    while (!line.contains(u'\n') && line.size() <= longestLine &&
           ReadConsoleW(input, chunk, DWORD(std::size(chunk)), &got, nullptr) && got > 0)
        line.append(QString::fromWCharArray(chunk, int(got)));
    if (const qsizetype end = line.indexOf(u'\n'); end >= 0)
        line.truncate(end);
    if (line.endsWith(u'\r'))
        line.chop(1);
    return line;
}
#else
std::optional<QString> readTypedLine()
{
    return readLine();
}
#endif

} // namespace

std::optional<QString> readPassword(const QString &prompt)
{
    if (!inputIsTerminal())
        return readLine();
    const QByteArray promptBytes = printable(prompt).toLocal8Bit();
    std::fwrite(promptBytes.constData(), 1, size_t(promptBytes.size()), stderr);
    std::fflush(stderr);
    EchoOff echoOff;
    const std::optional<QString> line = readTypedLine();
#ifdef Q_OS_WIN
    // The console echoes no line end when echo is off.
    std::fputc('\n', stderr);
#endif
    return line;
}

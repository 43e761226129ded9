#include "cli/TerminalInput.h"

#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

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

} // namespace

bool inputIsTerminal()
{
    return isatty(STDIN_FILENO) != 0;
}

std::optional<QString> readTypedLine(QByteArrayView prompt)
{
    const EchoOff echoOff;
    std::fwrite(prompt.data(), 1, size_t(prompt.size()), stderr);
    std::fflush(stderr);
    return readInputLine();
}

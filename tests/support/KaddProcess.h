#pragma once

#include "tests/support/BuiltProgram.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

struct KaddResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Starts kadd without waiting, for tests that stop it midway; its standard input is closed.
inline QProcess *startKadd(const QStringList &arguments, const QString &workFolder)
{
    auto *process = new QProcess;
    process->setWorkingDirectory(workFolder);
    process->start(builtProgram(KADD_PATH), arguments);
    process->closeWriteChannel();
    return process;
}

// Runs kadd with its standard input fed from input and then closed, so a kadd that waits for
// a password can never hang the test.
inline KaddResult runKadd(const QStringList &arguments, const QString &workFolder,
                          const QByteArray &input = {},
                          const QString &program = builtProgram(KADD_PATH))
{
    QProcess process;
    process.setWorkingDirectory(workFolder);
    KaddResult result;
    // Under Wine a process start now and then fails for want of the system's attention; a
    // start that never happened changed nothing, so it is tried again.
    for (int attempt = 1;; ++attempt) {
        process.start(program, arguments);
        if (process.waitForStarted(30000))
            break;
        qWarning("kadd did not start: %s", qPrintable(process.errorString()));
        if (attempt == 3)
            return result;
    }
    process.write(input);
    process.closeWriteChannel();
    result.finished = process.waitForFinished(30000);
    if (!result.finished) {
        qWarning("kadd did not finish within 30 s");
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    if (!result.finished)
        qWarning("kadd crashed with exit code %#x", unsigned(result.exitCode));
    result.out = consoleText(process.readAllStandardOutput());
    result.err = consoleText(process.readAllStandardError());
    return result;
}

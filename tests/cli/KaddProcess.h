#pragma once

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

// Runs kadd with its standard input fed from input and then closed, so a kadd that waits for
// a password can never hang the test.
inline KaddResult runKadd(const QStringList &arguments, const QString &workFolder,
                          const QByteArray &input = {}, const QString &program = KADD_PATH)
{
    QProcess process;
    process.setWorkingDirectory(workFolder);
    process.start(program, arguments);
    KaddResult result;
    if (!process.waitForStarted(10000))
        return result;
    process.write(input);
    process.closeWriteChannel();
    result.finished = process.waitForFinished(30000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

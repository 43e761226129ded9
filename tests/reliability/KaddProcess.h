#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the kadd program in a working folder of the test's choosing.
inline QProcess *startKadd(const QStringList &arguments, const QString &workFolder,
                           QObject *parent = nullptr)
{
    auto *process = new QProcess(parent);
    process->setProgram(QStringLiteral(KADD_PATH));
    process->setArguments(arguments);
    process->setWorkingDirectory(workFolder);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start();
    process->closeWriteChannel();
    return process;
}

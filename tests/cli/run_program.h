// A program run to its end, with its exit code and what it printed.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace ostrel::testing {

struct Outcome {
    int ExitCode = -1;  // -1: it crashed or did not end in time
    QString Out;
    QString Err;
};

inline Outcome RunProgram(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess process;
    process.start(program, args);
    Outcome outcome;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.Err = QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

}  // namespace ostrel::testing

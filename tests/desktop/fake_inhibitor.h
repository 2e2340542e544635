// Runs the fake inhibitor service (fake_inhibitor_service.cpp) for one test on the private
// bus the test runs on, and collects the lines it reports.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <utility>

namespace ostrel::testing {

// The tests that need the fake service run under dbus-run-session, which gives them a bus of
// their own; ctest says so through this variable. logind's requests go to the same bus.
inline bool OnPrivateBus() {
    return qEnvironmentVariableIsSet("OSTREL_PRIVATE_BUS") &&
           qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
}

// Before the first bus connection: the system bus is the private bus too.
inline void UsePrivateBusAsSystemBus() {
    if (OnPrivateBus()) {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    }
}

class FakeInhibitor {
  public:
    // services: "--login1", "--login1-refuses", "--screensaver".
    explicit FakeInhibitor(const QStringList& services) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(OSTREL_FAKE_INHIBITOR), services);
        ready_ = process_.waitForStarted(5000) && !WaitFor(QStringLiteral("ready")).isEmpty();
    }
    ~FakeInhibitor() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(1000);
        }
    }
    FakeInhibitor(const FakeInhibitor&) = delete;
    FakeInhibitor& operator=(const FakeInhibitor&) = delete;

    bool Ready() const { return ready_; }

    // The first line not yet taken that starts with prefix, waiting up to timeoutMs; empty
    // when none came.
    QString WaitFor(const QString& prefix, int timeoutMs = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (true) {
            ReadLines();
            for (qsizetype i = 0; i < lines_.size(); ++i) {
                if (lines_.at(i).startsWith(prefix)) {
                    return lines_.takeAt(i);
                }
            }
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || process_.state() != QProcess::Running) {
                return {};
            }
            process_.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 100)));
        }
    }

    // Every line reported and not yet taken, after waiting settleMs for late ones.
    QStringList Rest(int settleMs = 200) {
        process_.waitForReadyRead(settleMs);
        ReadLines();
        return std::exchange(lines_, {});
    }

  private:
    void ReadLines() {
        while (process_.canReadLine()) {
            lines_.append(QString::fromUtf8(process_.readLine()).trimmed());
        }
    }

    QProcess process_;
    QStringList lines_;
    bool ready_ = false;
};

}  // namespace ostrel::testing

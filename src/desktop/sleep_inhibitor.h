// Keeps the machine from going to sleep while a conversion run is going. It asks logind for a
// "sleep" lock on the system bus (the lock is a file descriptor: held while open), and where
// logind does not answer, asks the desktop's screen saver on the session bus not to go idle.
// Where neither bus nor service is there, nothing happens and nothing is said.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

namespace ostrel {

class SleepInhibitor : public QObject {
    Q_OBJECT

  public:
    enum class Route : int { None = 0, Login1, ScreenSaver };

    // The longest one question to a bus may take; a service that hangs must not stall the
    // start of a run for long.
    static constexpr int kCallTimeoutMs = 1500;

    explicit SleepInhibitor(QObject* parent = nullptr);
    // Releases what is held.
    ~SleepInhibitor() override;

    // Asks for the lock with reason (shown by the desktop, e.g. in its power menu). Does
    // nothing when a lock is held already. Returns the route that granted it.
    Route Take(const QString& reason);
    void Release();

    Route Held() const { return held_; }

  private:
    Route held_ = Route::None;
    QDBusUnixFileDescriptor login1Lock_;
    quint32 screenSaverCookie_ = 0;
};

// Asks logind (system bus) to suspend or to power off the machine, as the user chose for the
// end of a run. False when logind is not there or refuses.
enum class PowerRequest : int { None = 0, Suspend, PowerOff };
bool AskLogind(PowerRequest request);

}  // namespace ostrel

// A stand-in for logind's and the screen saver's inhibitors on a private bus. It registers the
// services named on its command line and prints one line per event on standard output:
//   ready
//   login1 inhibit <what> <mode> <who>      login1 released
//   screensaver inhibit <cookie> <app>      screensaver uninhibit <cookie>
// Options: --login1 (grants locks), --login1-refuses (answers with an error),
// --screensaver. It ends when standard input closes.
#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <cstdio>

namespace {

void Say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class Login1 : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    explicit Login1(bool refuses) : refuses_(refuses) {}

  public slots:
    void Suspend(bool interactive) { Say(QStringLiteral("login1 suspend %1").arg(interactive)); }
    void PowerOff(bool interactive) { Say(QStringLiteral("login1 poweroff %1").arg(interactive)); }

    // The lock is the write end of a pipe: the read end sees its end of file once the
    // client has closed every copy.
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        Q_UNUSED(why);
        if (refuses_) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Permission denied"));
            Say(QStringLiteral("login1 refused"));
            return {};
        }
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("pipe"));
            return {};
        }
        const QDBusUnixFileDescriptor lock(ends[1]);  // a copy of its own
        ::close(ends[1]);
        auto* watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(watch, &QSocketNotifier::activated, this, [watch, readEnd = ends[0]] {
            char byte = 0;
            if (::read(readEnd, &byte, 1) <= 0) {
                Say(QStringLiteral("login1 released"));
                watch->setEnabled(false);
                ::close(readEnd);
                watch->deleteLater();
            }
        });
        Say(QStringLiteral("login1 inhibit %1 %2 %3").arg(what, mode, who));
        return lock;
    }

  private:
    bool refuses_;
};

class ScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

  public slots:
    uint Inhibit(const QString& application, const QString& reason) {
        Q_UNUSED(reason);
        const uint cookie = nextCookie_++;
        Say(QStringLiteral("screensaver inhibit %1 %2").arg(cookie).arg(application));
        return cookie;
    }
    void UnInhibit(uint cookie) { Say(QStringLiteral("screensaver uninhibit %1").arg(cookie)); }

  private:
    uint nextCookie_ = 7001;
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "fake inhibitor: no session bus\n");
        return 1;
    }
    const auto offer = [&bus](const QString& service, const QString& path, QObject* object) {
        if (!bus.registerObject(path, object, QDBusConnection::ExportAllSlots) ||
            !bus.registerService(service)) {
            std::fprintf(stderr, "fake inhibitor: cannot offer %s\n", qPrintable(service));
            std::exit(1);
        }
    };
    const bool login1 = arguments.contains(QStringLiteral("--login1"));
    const bool refuses = arguments.contains(QStringLiteral("--login1-refuses"));
    if (login1 || refuses) {
        offer(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
              new Login1(refuses));
    }
    if (arguments.contains(QStringLiteral("--screensaver"))) {
        offer(QStringLiteral("org.freedesktop.ScreenSaver"),
              QStringLiteral("/org/freedesktop/ScreenSaver"), new ScreenSaver);
    }
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&input] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    Say(QStringLiteral("ready"));
    return QCoreApplication::exec();
}

#include "fake_inhibitor_service.moc"

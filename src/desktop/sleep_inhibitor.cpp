#include "desktop/sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

namespace ostrel {
namespace {

const QString kWho = QStringLiteral("Ostrel Media Converter");

const QString kLogin1Service = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kLogin1Interface = QStringLiteral("org.freedesktop.login1.Manager");

const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kScreenSaverInterface = QStringLiteral("org.freedesktop.ScreenSaver");

// The single argument of a successful reply, or an invalid variant.
QVariant Answer(QDBusConnection bus, const QDBusMessage& call) {
    if (!bus.isConnected()) {
        return {};
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, SleepInhibitor::kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
        return {};
    }
    return reply.arguments().first();
}

}  // namespace

SleepInhibitor::SleepInhibitor(QObject* parent) : QObject(parent) {}

SleepInhibitor::~SleepInhibitor() {
    Release();
}

SleepInhibitor::Route SleepInhibitor::Take(const QString& reason) {
    if (held_ != Route::None) {
        return held_;
    }
    QDBusConnection system = QDBusConnection::systemBus();
    if (system.connectionCapabilities().testFlag(QDBusConnection::UnixFileDescriptorPassing)) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kLogin1Service, kLogin1Path, kLogin1Interface, QStringLiteral("Inhibit"));
        call << QStringLiteral("sleep") << kWho << reason << QStringLiteral("block");
        const QVariant lock = Answer(system, call);
        if (lock.canConvert<QDBusUnixFileDescriptor>()) {
            login1Lock_ = qvariant_cast<QDBusUnixFileDescriptor>(lock);
            if (login1Lock_.isValid()) {
                held_ = Route::Login1;
                return held_;
            }
        }
    }

    QDBusMessage call = QDBusMessage::createMethodCall(
        kScreenSaverService, kScreenSaverPath, kScreenSaverInterface, QStringLiteral("Inhibit"));
    call << kWho << reason;
    const QVariant cookie = Answer(QDBusConnection::sessionBus(), call);
    if (cookie.typeId() == QMetaType::UInt) {
        screenSaverCookie_ = cookie.toUInt();
        held_ = Route::ScreenSaver;
    }
    return held_;
}

void SleepInhibitor::Release() {
    switch (held_) {
        case Route::Login1:
            // logind drops the lock when the last copy of its descriptor closes.
            login1Lock_ = QDBusUnixFileDescriptor();
            break;
        case Route::ScreenSaver: {
            QDBusMessage call =
                QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                               kScreenSaverInterface, QStringLiteral("UnInhibit"));
            call << screenSaverCookie_;
            // Waited for, so the request leaves before a process that ends right after a
            // run is gone (the screen saver would forget the cookie then anyway).
            QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
            screenSaverCookie_ = 0;
            break;
        }
        case Route::None:
            break;
    }
    held_ = Route::None;
}

bool AskLogind(PowerRequest request) {
    if (request == PowerRequest::None) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        kLogin1Service, kLogin1Path, kLogin1Interface,
        request == PowerRequest::Suspend ? QStringLiteral("Suspend") : QStringLiteral("PowerOff"));
    call << false;  // not interactive: no password asked for
    const QDBusMessage reply =
        QDBusConnection::systemBus().call(call, QDBus::Block, SleepInhibitor::kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace ostrel

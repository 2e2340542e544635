#include "desktop/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>
#include <utility>

#include "common/engine_path.h"

namespace ostrel {
namespace {

constexpr quint32 kMagic = 0x4f53544c;  // "OSTL"
constexpr qsizetype kNumberBytes = 4;
constexpr int kConnectTimeoutMs = 1000;
constexpr int kLockTimeoutMs = 5000;
constexpr char kAnswer = '\x01';

// A folder that exists, is a real folder, belongs to this user and lets nobody else in.
bool IsPrivateFolder(const QString& folder) {
    struct stat info {};
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

}  // namespace

QString DefaultInstanceSocket() {
    // $XDG_RUNTIME_DIR, or where the session has none, a private folder Qt makes for us.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !IsPrivateFolder(folder)) {
        return {};
    }
    return folder + QStringLiteral("/ostrel-window");
}

// The message: its length, then the magic number, the number of paths and each path as its
// length and its bytes as the file system holds them; every number 32 bits, big-endian. Read with
// every length checked against what is there, so no number in it can make the reader allocate.
QByteArray EncodeHandOver(const QStringList& paths) {
    QByteArray body;
    const auto appendNumber = [&body](quint32 number) {
        char bytes[kNumberBytes];
        qToBigEndian(number, bytes);
        body.append(bytes, kNumberBytes);
    };
    appendNumber(kMagic);
    appendNumber(static_cast<quint32>(paths.size()));
    for (const QString& path : paths) {
        const QByteArray bytes = EncodeFileName(path);
        appendNumber(static_cast<quint32>(bytes.size()));
        body.append(bytes);
    }
    QByteArray message(kNumberBytes, '\0');
    qToBigEndian(static_cast<quint32>(body.size()), message.data());
    return message + body;
}

qsizetype DecodeHandOver(const QByteArray& bytes, QStringList& paths) {
    if (bytes.size() < kNumberBytes) {
        return 0;
    }
    const qsizetype length = qFromBigEndian<quint32>(bytes.constData());
    if (length > SingleInstance::kMaxMessageBytes) {
        return -1;
    }
    if (bytes.size() < kNumberBytes + length) {
        return 0;
    }
    const QByteArrayView body(bytes.constData() + kNumberBytes, length);
    qsizetype at = 0;
    const auto readNumber = [&body, &at](quint32& number) {
        if (body.size() - at < kNumberBytes) {
            return false;
        }
        number = qFromBigEndian<quint32>(body.data() + at);
        at += kNumberBytes;
        return true;
    };
    quint32 magic = 0;
    quint32 count = 0;
    if (!readNumber(magic) || magic != kMagic || !readNumber(count)) {
        return -1;
    }
    QStringList received;
    for (quint32 i = 0; i < count; ++i) {
        quint32 size = 0;
        if (!readNumber(size) || body.size() - at < static_cast<qsizetype>(size)) {
            return -1;
        }
        received.append(DecodeFileName(body.sliced(at, size).toByteArray()));
        at += size;
    }
    if (at != body.size()) {
        return -1;
    }
    paths = received;
    return kNumberBytes + length;
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::IsListening() const {
    return server_ != nullptr && server_->isListening();
}

QStringList SingleInstance::TakeReceived() {
    return std::exchange(received_, {});
}

SingleInstance::Claim SingleInstance::ClaimOrHandOver(const QStringList& paths) {
    if (socketPath_.isEmpty()) {
        return Claim::First;
    }
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    // Without the lock (a stuck instance holds it) the window still opens, only alone.
    const bool locked = lock.tryLock(kLockTimeoutMs);
    const Claim claim = HandOver(paths);
    if (claim == Claim::First && locked) {
        Listen();
    }
    return claim;
}

SingleInstance::Claim SingleInstance::HandOver(const QStringList& paths) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        // No socket, or one left behind by a window that ended without removing it.
        return Claim::First;
    }
    socket.write(EncodeHandOver(paths));
    QElapsedTimer waited;
    waited.start();
    while (socket.bytesAvailable() == 0) {
        const int remainingMs = answerTimeoutMs_ - static_cast<int>(waited.elapsed());
        if (remainingMs <= 0) {
            break;
        }
        const bool waiting = socket.bytesToWrite() > 0 ? socket.waitForBytesWritten(remainingMs)
                                                       : socket.waitForReadyRead(remainingMs);
        if (!waiting) {
            break;  // closed without answering, or the time is up
        }
    }
    const QByteArray answer = socket.read(1);
    return answer == QByteArray(1, kAnswer) ? Claim::HandedOver : Claim::NoAnswer;
}

void SingleInstance::Listen() {
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only reached under the lock with nobody answering: a socket file here is stale.
    QLocalServer::removeServer(socketPath_);
    if (!server->listen(socketPath_)) {
        delete server;
        return;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        // A client that never finishes its message is dropped.
        QTimer::singleShot(answerTimeoutMs_, socket, [socket] { socket->abort(); });
        Read(socket);
    }
}

void SingleInstance::Read(QLocalSocket* socket) {
    // The socket keeps what arrived until the whole message is there.
    QStringList paths;
    const qsizetype used = DecodeHandOver(socket->peek(socket->bytesAvailable()), paths);
    if (used == 0) {
        return;
    }
    if (used < 0) {
        socket->abort();
        return;
    }
    socket->read(used);
    // Taken before the answer: a later instance told "yes" has really handed its files over.
    received_.append(paths);
    emit filesReceived();
    socket->write(QByteArray(1, kAnswer));
    socket->disconnectFromServer();
}

}  // namespace ostrel

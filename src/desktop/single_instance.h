// One window per user. The first `ostrel` listens on a local socket in the user's runtime
// folder; a later `ostrel FILE...` hands its files to it over that socket and ends, so "Open
// With" in a file manager adds to the list already on screen instead of opening a second
// window with a second engine and a second copy of the settings.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace ostrel {

// The socket of the user's running window: "ostrel-window" in the user's runtime folder.
// Empty when that folder is not one only this user can reach.
QString DefaultInstanceSocket();

// The bytes a later instance sends: a length, then the paths. Kept apart so tests can send
// damaged, lying or oversized messages.
QByteArray EncodeHandOver(const QStringList& paths);
// The paths of one complete message at the front of bytes. Returns the number of bytes it
// took, 0 while the message is incomplete, -1 when the bytes are not a message of ours.
qsizetype DecodeHandOver(const QByteArray& bytes, QStringList& paths);

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    enum class Claim : int {
        None = 0,
        First,       // no window was running: this one listens now (or runs alone)
        HandedOver,  // the running window took the paths: this process should end
        NoAnswer,    // a window is running but did not confirm within the timeout
    };

    // The longest a later instance waits for the running window to confirm.
    static constexpr int kAnswerTimeoutMs = 10000;
    // The largest message accepted, so a stray client cannot make the window hoard memory.
    static constexpr qsizetype kMaxMessageBytes = 64 * 1024 * 1024;

    explicit SingleInstance(QString socketPath = DefaultInstanceSocket(),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // Hands paths (absolute) to the running window if there is one, otherwise starts
    // listening for later instances. A lock file beside the socket makes the two steps one,
    // so two instances started at the same moment never both become the first.
    Claim ClaimOrHandOver(const QStringList& paths);

    // How long a hand-over waits for the running window's answer.
    void SetAnswerTimeout(int timeoutMs) { answerTimeoutMs_ = timeoutMs; }

    bool IsListening() const;
    const QString& SocketPath() const { return socketPath_; }

    // The paths handed over since the last call, in the order they came. They wait here
    // until the window is ready for them, so none is lost to a start-up question.
    QStringList TakeReceived();

  signals:
    // A later instance handed over its paths, or none when it was started without files:
    // either way the window should come forward.
    void filesReceived();

  private:
    Claim HandOver(const QStringList& paths);
    void Listen();
    void Accept();
    void Read(QLocalSocket* socket);

    QString socketPath_;
    QLocalServer* server_ = nullptr;
    QStringList received_;
    int answerTimeoutMs_ = kAnswerTimeoutMs;
};

}  // namespace ostrel

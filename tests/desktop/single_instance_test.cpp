// One window per user: the hand-over message, and real instances claiming one socket (the
// running one served on a thread of its own, as it would be in another process).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/engine_path.h"
#include "desktop/single_instance.h"
#include "qt_printers.h"

using ostrel::DecodeHandOver;
using ostrel::EncodeHandOver;
using ostrel::SingleInstance;
using Claim = ostrel::SingleInstance::Claim;

namespace {

// A running window: its instance claims the socket and serves on a thread of its own, so the
// test's thread can play the later instance, whose hand-over blocks.
class ServingInstance {
  public:
    explicit ServingInstance(const QString& socketPath) {
        thread_.start();
        instance_ = new SingleInstance(socketPath);
        instance_->moveToThread(&thread_);
        QMetaObject::invokeMethod(
            instance_,
            [this] {
                claim_ = instance_->ClaimOrHandOver({});
                QObject::connect(instance_, &SingleInstance::filesReceived, instance_, [this] {
                    const std::lock_guard lock(mutex_);
                    received_.append(instance_->TakeReceived());
                    ++signals_;
                });
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServingInstance() {
        QMetaObject::invokeMethod(
            instance_, [this] { delete instance_; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }

    Claim Claimed() const { return claim_; }
    QStringList Received() {
        const std::lock_guard lock(mutex_);
        return received_;
    }
    int Signals() {
        const std::lock_guard lock(mutex_);
        return signals_;
    }

  private:
    QThread thread_;
    SingleInstance* instance_ = nullptr;
    Claim claim_ = Claim::None;
    std::mutex mutex_;
    QStringList received_;
    int signals_ = 0;
};

// A socket file nobody answers on: left behind by a window that was killed (not listening)
// or held by a process that never reads (listening).
class RawSocket {
  public:
    RawSocket(const QString& path, bool listening) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = path.toLocal8Bit();
        std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        if (listening) {
            ::listen(fd_, 4);
        } else {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~RawSocket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

  private:
    int fd_ = -1;
};

class SingleInstanceTest : public ::testing::Test {
  protected:
    QTemporaryDir dir_;
    QString Socket() const { return dir_.filePath(QStringLiteral("window")); }
};

TEST(HandOverMessage, RoundTrips) {
    const std::vector<QStringList> cases = {
        {},
        {QStringLiteral("/home/ann/a.wav")},
        {QStringLiteral("/média/ß clip.mkv"), QStringLiteral("/odd\nname.mp4"),
         QStringLiteral("/home/ann/a.wav"), QStringLiteral("/home/ann/a.wav")},
        {ostrel::DecodeFileName("/old disk/caf\xe9.avi")},  // Latin-1, not UTF-8
    };
    for (const QStringList& paths : cases) {
        const QByteArray message = EncodeHandOver(paths);
        QStringList decoded{QStringLiteral("stale")};
        EXPECT_EQ(DecodeHandOver(message, decoded), message.size())
            << paths.join(u'|').toStdString();
        EXPECT_EQ(decoded, paths);
        // Every shorter piece is a message still arriving, never a message.
        for (qsizetype length = 0; length < message.size(); ++length) {
            QStringList partial;
            ASSERT_EQ(DecodeHandOver(message.first(length), partial), 0) << length;
        }
    }
}

TEST(HandOverMessage, RefusesWhatIsNotOurs) {
    const QByteArray good = EncodeHandOver({QStringLiteral("/a.wav")});
    QByteArray wrongMagic = good;
    wrongMagic[4] = static_cast<char>(wrongMagic[4] ^ 0x55);
    QByteArray bodyTooLong = good;  // the length covers one byte more than the paths
    bodyTooLong[3] = static_cast<char>(bodyTooLong[3] + 1);
    bodyTooLong.append('x');
    // Numbers inside that promise more than the message holds: refused without allocating.
    QByteArray hugeCount = good;
    hugeCount.replace(8, 4, QByteArray(4, '\xff'));
    QByteArray hugePath = good;
    hugePath.replace(12, 4, QByteArray(4, '\x7f'));
    QByteArray oversized(4, '\0');
    oversized[0] = static_cast<char>(0x7f);  // a length far beyond the limit
    const QByteArray text("GET / HTTP/1.1\r\n\r\n");

    struct Case {
        const char* name;
        QByteArray bytes;
        qsizetype expected;
    };
    const Case cases[] = {
        {"wrong magic", wrongMagic, -1},
        {"garbage inside the length", bodyTooLong, -1},
        {"oversized length, refused before it arrives", oversized, -1},
        {"more paths counted than sent", hugeCount, -1},
        {"a path longer than the message", hugePath, -1},
        {"not our protocol", text, -1},
        {"two messages: the first only", good + good, good.size()},
    };
    for (const Case& c : cases) {
        QStringList paths;
        EXPECT_EQ(DecodeHandOver(c.bytes, paths), c.expected) << c.name;
    }
}

TEST_F(SingleInstanceTest, FirstInstanceListens) {
    struct Case {
        const char* name;
        bool staleFile;
    };
    for (const Case c :
         {Case{"nothing there", false}, Case{"left behind by a killed window", true}}) {
        const QString socket = Socket() + QString::fromLatin1(c.name).replace(u' ', u'_');
        std::unique_ptr<RawSocket> stale;
        if (c.staleFile) {
            stale = std::make_unique<RawSocket>(socket, false);
            ASSERT_TRUE(QFileInfo::exists(socket));
        }
        SingleInstance instance(socket);
        EXPECT_EQ(instance.ClaimOrHandOver({QStringLiteral("/a.wav")}), Claim::First) << c.name;
        EXPECT_TRUE(instance.IsListening()) << c.name;
        EXPECT_TRUE(instance.TakeReceived().isEmpty()) << c.name;
    }
}

TEST_F(SingleInstanceTest, LaterInstancesHandTheirFilesOver) {
    ServingInstance running(Socket());
    ASSERT_EQ(running.Claimed(), Claim::First);

    const std::vector<QStringList> handOvers = {
        {QStringLiteral("/v/c.mkv")},
        {},  // started without files: the window only comes forward
        {QStringLiteral("/v/d.mp4"), QStringLiteral("/v/e.avi")},
    };
    QStringList expected;
    for (const QStringList& paths : handOvers) {
        SingleInstance later(Socket());
        EXPECT_EQ(later.ClaimOrHandOver(paths), Claim::HandedOver);
        EXPECT_FALSE(later.IsListening());
        expected += paths;
    }
    EXPECT_EQ(running.Received(), expected);
    EXPECT_EQ(running.Signals(), 3);
}

TEST_F(SingleInstanceTest, WindowThatDoesNotAnswerIsReported) {
    const RawSocket deaf(Socket(), true);
    SingleInstance later(Socket());
    later.SetAnswerTimeout(300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(later.ClaimOrHandOver({QStringLiteral("/a.wav")}), Claim::NoAnswer);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(later.IsListening());
}

TEST_F(SingleInstanceTest, InstancesStartedTogetherElectOneWindow) {
    constexpr int kInstances = 4;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::atomic<bool> done{false};
    std::vector<Claim> claims(kInstances, Claim::None);
    QStringList received;
    std::mutex mutex;
    // Qt threads: the elected one needs an event dispatcher to serve.
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < kInstances; ++i) {
        threads.emplace_back(QThread::create([&, i] {
            SingleInstance instance(Socket());
            ++ready;
            while (!go) {
                std::this_thread::yield();
            }
            claims[i] = instance.ClaimOrHandOver({QStringLiteral("/v/%1.wav").arg(i)});
            if (claims[i] == Claim::First) {
                // The elected window serves until every other instance is through.
                QElapsedTimer clock;
                clock.start();
                while (!done && clock.elapsed() < 20000) {
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                    const std::lock_guard lock(mutex);
                    received += instance.TakeReceived();
                }
            }
        }));
        threads.back()->start();
    }
    while (ready < kInstances) {
        std::this_thread::yield();
    }
    go = true;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        {
            const std::lock_guard lock(mutex);
            if (received.size() == kInstances - 1) {
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    done = true;
    for (const auto& thread : threads) {
        thread->wait();
    }
    EXPECT_EQ(std::count(claims.begin(), claims.end(), Claim::First), 1);
    EXPECT_EQ(std::count(claims.begin(), claims.end(), Claim::HandedOver), kInstances - 1);
    EXPECT_EQ(received.size(), kInstances - 1);
}

}  // namespace

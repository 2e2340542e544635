// Sleep inhibition against a fake logind and screen saver on a private bus (a real bus, a fake
// service), and with no bus at all. The headless converter takes and releases it around a run.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "desktop/sleep_inhibitor.h"
#include "fake_inhibitor.h"
#include "qt_printers.h"

using ostrel::SleepInhibitor;
using ostrel::testing::FakeInhibitor;
using Route = ostrel::SleepInhibitor::Route;

namespace {

const QString kReason = QStringLiteral("Converting files");

class PrivateBus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ostrel::testing::OnPrivateBus()) {
            GTEST_SKIP() << "needs the private bus of dbus-run-session (run through ctest)";
        }
    }
};

TEST_F(PrivateBus, TakesTheBestRouteAndReleasesIt) {
    enum class Ending { Release, Destruction };
    struct Case {
        const char* name;
        QStringList services;
        Ending ending;
        Route route;
        QString taken;     // the fake's line when the lock was granted
        QString released;  // and when it was given back
    };
    const QString login1Taken = QStringLiteral("login1 inhibit sleep block Ostrel Media Converter");
    const QString login1Released = QStringLiteral("login1 released");
    const QString saverTaken = QStringLiteral("screensaver inhibit 7001 Ostrel Media Converter");
    const QString saverReleased = QStringLiteral("screensaver uninhibit 7001");
    const Case cases[] = {
        {"logind grants",
         {"--login1", "--screensaver"},
         Ending::Release,
         Route::Login1,
         login1Taken,
         login1Released},
        {"logind grants, the run's end destroys the inhibitor",
         {"--login1"},
         Ending::Destruction,
         Route::Login1,
         login1Taken,
         login1Released},
        {"logind refuses: the screen saver",
         {"--login1-refuses", "--screensaver"},
         Ending::Release,
         Route::ScreenSaver,
         saverTaken,
         saverReleased},
        {"no logind: the screen saver",
         {"--screensaver"},
         Ending::Destruction,
         Route::ScreenSaver,
         saverTaken,
         saverReleased},
        {"nobody to ask", {}, Ending::Release, Route::None, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInhibitor fake(c.services);
        ASSERT_TRUE(fake.Ready());
        auto inhibitor = std::make_unique<SleepInhibitor>();
        EXPECT_EQ(inhibitor->Take(kReason), c.route);
        EXPECT_EQ(inhibitor->Held(), c.route);
        // A second request while one is held asks nobody again.
        EXPECT_EQ(inhibitor->Take(kReason), c.route);
        if (!c.taken.isEmpty()) {
            EXPECT_EQ(fake.WaitFor(c.taken.section(u' ', 0, 1)), c.taken);
        }
        if (c.ending == Ending::Release) {
            inhibitor->Release();
            EXPECT_EQ(inhibitor->Held(), Route::None);
        } else {
            inhibitor.reset();
        }
        if (!c.released.isEmpty()) {
            EXPECT_EQ(fake.WaitFor(c.released), c.released);
        }
        const QStringList rest = fake.Rest();
        EXPECT_TRUE(rest.isEmpty() || rest == QStringList{QStringLiteral("login1 refused")})
            << rest.join(u'|').toStdString();
    }
}

bool MakeClip(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=1", path});
    return ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0;
}

TEST_F(PrivateBus, HeadlessConverterKeepsTheMachineAwakeDuringItsRun) {
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(MakeClip(clip));
    struct Case {
        const char* name;
        QStringList services;
        QString taken;
        QString released;
    };
    const Case cases[] = {
        {"logind", {"--login1"}, "login1 inhibit sleep block", "login1 released"},
        {"screen saver",
         {"--screensaver"},
         "screensaver inhibit 7001",
         "screensaver uninhibit 7001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInhibitor fake(c.services);
        ASSERT_TRUE(fake.Ready());
        QProcess convert;
        convert.start(QStringLiteral(OSTREL_CONVERT_PATH),
                      {"--profile", "ID_MPB", "--output", dir.path(), clip});
        ASSERT_TRUE(convert.waitForFinished(60000));
        EXPECT_EQ(convert.exitCode(), 0) << convert.readAllStandardError().toStdString();
        EXPECT_TRUE(fake.WaitFor(c.taken).startsWith(c.taken));
        EXPECT_EQ(fake.WaitFor(c.released), c.released);
    }
    // A dry run converts nothing and asks for nothing.
    FakeInhibitor fake({QStringLiteral("--login1")});
    ASSERT_TRUE(fake.Ready());
    QProcess dryRun;
    dryRun.start(QStringLiteral(OSTREL_CONVERT_PATH),
                 {"--profile", "ID_MPB", "--output", dir.path(), "--dry-run", clip});
    ASSERT_TRUE(dryRun.waitForFinished(60000));
    EXPECT_EQ(dryRun.exitCode(), 0);
    EXPECT_TRUE(fake.Rest().isEmpty());
}

// The end-of-run actions reach logind as non-interactive calls.
TEST_F(PrivateBus, AsksLogindToSuspendOrPowerOff) {
    FakeInhibitor fake({QStringLiteral("--login1")});
    ASSERT_TRUE(fake.Ready());
    EXPECT_TRUE(ostrel::AskLogind(ostrel::PowerRequest::Suspend));
    EXPECT_EQ(fake.WaitFor(QStringLiteral("login1 suspend")), QStringLiteral("login1 suspend 0"));
    EXPECT_TRUE(ostrel::AskLogind(ostrel::PowerRequest::PowerOff));
    EXPECT_EQ(fake.WaitFor(QStringLiteral("login1 poweroff")), QStringLiteral("login1 poweroff 0"));
    EXPECT_FALSE(ostrel::AskLogind(ostrel::PowerRequest::None));
}

// Run with bus addresses that lead nowhere: nothing is held, nothing is said, nothing waits.
TEST(NoBus, SilentAndQuick) {
    if (!qEnvironmentVariableIsSet("OSTREL_NO_BUS")) {
        GTEST_SKIP() << "needs bus addresses that lead nowhere (run through ctest)";
    }
    static QStringList messages;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages << text; });
    QElapsedTimer clock;
    clock.start();
    {
        SleepInhibitor inhibitor;
        EXPECT_EQ(inhibitor.Take(kReason), Route::None);
        inhibitor.Release();
    }
    EXPECT_LT(clock.elapsed(), 1000);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

}  // namespace

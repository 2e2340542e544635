// Runs the real ostrel-convert binary (with the real engine module) on generated clips.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "child_process.h"
#include "qt_printers.h"
#include "run_program.h"

namespace ostrel {
namespace {

using testing::Outcome;

Outcome RunProgram(const QString& program, const QStringList& args, int timeoutMs = 120000) {
    return testing::RunProgram(program, args, timeoutMs);
}

Outcome Convert(const QStringList& args) {
    return RunProgram(QStringLiteral(OSTREL_CONVERT_PATH), args);
}

// The clips are made once per test run: CTest runs CliMedia.Generates first (a fixture) into
// OSTREL_CLI_MEDIA_DIR. Run by hand without that variable, each test suite makes its own.
void GenerateMedia(const QString& folder) {
    QDir().mkpath(folder);
    const auto ffmpeg = [](const QStringList& args) {
        const Outcome o =
            RunProgram(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args);
        ASSERT_EQ(o.ExitCode, 0) << o.Err.toStdString();
    };
    const auto path = [&folder](const char* name) {
        return folder + QLatin1Char('/') + QString::fromUtf8(name);
    };
    ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=25", "-f", "lavfi", "-i",
            "sine=frequency=440:sample_rate=48000", "-t", "2", "-c:v", "libx264", "-preset",
            "ultrafast", "-c:a", "aac", "-ac", "2", path("clip.mp4")});
    ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-f", "lavfi", "-i",
            "sine=frequency=660", "-t", "1.5", "-c:v", "mpeg4", "-c:a", "libmp3lame",
            path("Über clip with blanks.avi")});
    ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440", "-t", "1", path("song.mp3")});
    // Long enough to be still converting when a test sends a signal.
    ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=25", "-f", "lavfi", "-i",
            "sine=frequency=550", "-t", "20", "-c:v", "mpeg4", "-q:v", "8", "-c:a", "mp2",
            path("long.avi")});
    QFile junk(path("junk.mp4"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, '\x17'));
}

TEST(CliMedia, Generates) {
    const QString folder = qEnvironmentVariable("OSTREL_CLI_MEDIA_DIR");
    if (folder.isEmpty()) {
        GTEST_SKIP() << "run by CTest as the media fixture";
    }
    if (!QFile::exists(folder + QStringLiteral("/clip.mp4"))) {
        GenerateMedia(folder);
    }
}

class ConvertCommandTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        media_ = qEnvironmentVariable("OSTREL_CLI_MEDIA_DIR");
        if (media_.isEmpty() || !QFile::exists(media_ + QStringLiteral("/clip.mp4"))) {
            own_ = new QTemporaryDir();
            media_ = own_->path();
            GenerateMedia(media_);
        }
    }

    static void TearDownTestSuite() {
        delete own_;
        own_ = nullptr;
    }

    static QString Path(const QString& name) { return media_ + QLatin1Char('/') + name; }

    // A fresh, empty output folder per test.
    QString OutputFolder() {
        out_ = std::make_unique<QTemporaryDir>();
        return out_->path();
    }

    static QString media_;
    static QTemporaryDir* own_;
    std::unique_ptr<QTemporaryDir> out_;
};

QString ConvertCommandTest::media_;
QTemporaryDir* ConvertCommandTest::own_ = nullptr;

TEST_F(ConvertCommandTest, DryRunPrintsTheBuilderStrings) {
    const QString out = OutputFolder();
    const struct {
        QStringList settings;
        const char* options;
    } cases[] = {
        {{"--profile", "ID_AVI"},
         "-ac 2 -vcodec libxvid -vb 3388k -acodec libmp3lame -ab 128k -ar 44100 -s 640x480"},
        {{"--profile", "MP4 - MPEG-4 Video (*.mp4)"},
         "-r 29.97 -ac 2 -vb 2048k -ab 128k -ar 44100 -s 640x480"},
        {{"--profile", "1185"}, "-ac 2 -vn -ab 128k -ar 44100"},
        {{"--profile", "ID_WAV", "--audio-quality", "high"}, "-ac 2 -vn  -ar 48000"},
        {{"--profile", "ID_GP"}, "-ac 2 -vb 109k -ab 6700 -ac 1 -ar 8000 -s 176x144"},
        {{"--profile", "ID_MPH", "--video-quality", "high", "--audio-quality", "high", "--size",
          "640x360", "--vflip", "--rotate", "90"},
         "-ac 2 -vcodec libx264 -vpre libx264-default -vb 2304k -ab 256k -ar 44100 -s 640x360 -vf "
         "\"vflip,rotate=90\""},
        {{"--profile", "ID_AVI", "--crop", "10,10,0,0"},
         "-ac 2 -vcodec libxvid -vb 3388k -acodec libmp3lame -ab 128k -ar 44100 -vf "
         "\"crop=640:460:0:10\""},
    };
    for (const auto& c : cases) {
        const Outcome o =
            Convert(c.settings + QStringList{"--output", out, "--dry-run", Path("clip.mp4")});
        ASSERT_EQ(o.ExitCode, 0) << o.Err.toStdString();
        const QStringList fields = o.Out.trimmed().split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 3) << o.Out.toStdString();
        EXPECT_EQ(fields.at(0), Path("clip.mp4"));
        EXPECT_EQ(fields.at(2), QString::fromUtf8(c.options)) << c.settings.join(' ').toStdString();
    }
}

// With copying on, a fourth field says what the engine would copy as it is.
TEST_F(ConvertCommandTest, DryRunSaysWhatWouldBeCopied) {
    const QString out = OutputFolder();
    const struct {
        QStringList settings;
        const char* plan;
    } cases[] = {
        {{"--profile", "ID_MPH", "--copy-when-fits"}, "video and audio copied"},
        {{"--profile", "ID_MPH", "--copy-when-fits", "--size", "320x240"}, "audio copied"},
        {{"--profile", "ID_MPH", "--copy-when-fits", "--channels", "1"}, "video copied"},
        {{"--profile", "ID_AVI", "--copy-when-fits"}, "converted"},
        {{"--profile", "ID_MPHEVC", "--copy-when-fits"}, "audio copied"},
        {{"--profile", "ID_MPH", "--copy-when-fits", "--target-size", "2M"}, "converted"},
    };
    for (const auto& c : cases) {
        const Outcome o =
            Convert(c.settings + QStringList{"--output", out, "--dry-run", Path("clip.mp4")});
        ASSERT_EQ(o.ExitCode, 0) << o.Err.toStdString();
        const QStringList fields = o.Out.trimmed().split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 4) << o.Out.toStdString();
        EXPECT_EQ(fields.at(3), QLatin1String(c.plan)) << c.settings.join(' ').toStdString();
    }
    EXPECT_NE(
        Convert({"--profile", "ID_MPH", "--target-size", "huge", "--output", out, Path("clip.mp4")})
            .ExitCode,
        0);
}

// The option string gets "-map_metadata -1" after the builder's own; the file keeps only
// what the muxer writes of its own.
TEST_F(ConvertCommandTest, NoMetadataLeavesTheTagsBehind) {
    const QString out = OutputFolder();
    const QString tagged = out + QStringLiteral("/tagged.mp3");
    const Outcome made = RunProgram(
        QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", Path("song.mp3"), "-metadata",
                                   "title=Grüße", "-metadata", "artist=Zoë", "-c", "copy", tagged});
    ASSERT_EQ(made.ExitCode, 0) << made.Err.toStdString();
    const Outcome dry = Convert({"--profile", "ID_MPB", "--output", out + QStringLiteral("/"),
                                 "--no-metadata", "--dry-run", tagged});
    ASSERT_EQ(dry.ExitCode, 0) << dry.Err.toStdString();
    EXPECT_TRUE(dry.Out.trimmed().endsWith(QStringLiteral("-ar 44100 -map_metadata -1")))
        << dry.Out.toStdString();
    const QString converted = out + QStringLiteral("/converted");
    ASSERT_TRUE(QDir().mkpath(converted));
    for (const bool clean : {false, true}) {
        QStringList args = {"--profile", "ID_MPB", "--output", converted, tagged};
        if (clean) {
            args.prepend(QStringLiteral("--no-metadata"));
        }
        QFile::remove(converted + QStringLiteral("/tagged.mp3"));
        const Outcome o = Convert(args);
        ASSERT_EQ(o.ExitCode, 0) << o.Out.toStdString() << o.Err.toStdString();
        const Outcome tags = RunProgram(QStringLiteral("ffprobe"),
                                        {"-v", "error", "-show_entries", "format_tags", "-of",
                                         "compact", converted + QStringLiteral("/tagged.mp3")});
        EXPECT_EQ(tags.Out.contains(QStringLiteral("title=Grüße")), !clean)
            << tags.Out.toStdString();
        EXPECT_EQ(tags.Out.contains(QStringLiteral("artist=Zoë")), !clean);
        EXPECT_TRUE(tags.Out.contains(QStringLiteral("encoder=Lavf"))) << tags.Out.toStdString();
    }
}

TEST_F(ConvertCommandTest, OutputPathsArePlannedForTheWholeRun) {
    // Into the inputs' own folder: clip.mp4 must not overwrite itself, the second file must
    // not take the first one's name, and nothing existing is replaced.
    const Outcome o =
        Convert({"--profile", "ID_MP", "--output", media_, "--dry-run", Path("clip.mp4"),
                 Path("song.mp3"), Path("clip.mp4"), Path("junk.mp4"), Path("missing.avi")});
    EXPECT_EQ(o.ExitCode, 1);  // two files could not be probed
    EXPECT_TRUE(o.Err.contains(QStringLiteral("Can not open file: ") + Path("missing.avi")))
        << o.Err.toStdString();
    EXPECT_TRUE(o.Err.contains(Path("junk.mp4")));
    const QStringList lines = o.Out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << o.Out.toStdString();  // the duplicate is listed once
    EXPECT_EQ(lines.at(0).section(QLatin1Char('\t'), 1, 1), Path("clip (1).mp4"));
    EXPECT_EQ(lines.at(1).section(QLatin1Char('\t'), 1, 1), Path("song.mp4"));
}

TEST_F(ConvertCommandTest, UsageErrorsExitWithTwo) {
    const QString out = OutputFolder();
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {{"--profile", "ID_NOPE", "--output", out, Path("clip.mp4")}, "unknown profile"},
        {{"--profile", "ID_MP", "--output", out + "/missing", Path("clip.mp4")},
         "invalid output folder"},
        {{"--profile", "ID_MPB", "--video-bitrate", "900k", "--output", out, Path("clip.mp4")},
         "does not apply"},
        {{"--frobnicate"}, "unknown option"},
    };
    for (const auto& c : cases) {
        const Outcome o = Convert(c.args);
        EXPECT_EQ(o.ExitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(o.Err.contains(QLatin1String(c.message))) << o.Err.toStdString();
    }
}

QJsonObject Probe(const QString& path) {
    const Outcome o =
        RunProgram(QStringLiteral("ffprobe"),
                   {"-v", "error", "-show_entries",
                    "stream=codec_type,codec_name,width,height,channels:format=duration", "-of",
                    "json", path});
    return QJsonDocument::fromJson(o.Out.toUtf8()).object();
}

TEST_F(ConvertCommandTest, ConvertsForRealWithTheIphoneProfile) {
    const QString out = OutputFolder();
    const Outcome o = Convert({"--profile", "iPhone - H.264 Video", "--threads", "2", "--output",
                               out, Path("clip.mp4"), Path("Über clip with blanks.avi")});
    ASSERT_EQ(o.ExitCode, 0) << o.Out.toStdString() << o.Err.toStdString();
    EXPECT_TRUE(o.Out.contains(QStringLiteral("Converted 2 of 2 files (0 failed)")))
        << o.Out.toStdString();
    for (const QString& name :
         {QStringLiteral("clip.mp4"), QStringLiteral("Über clip with blanks.mp4")}) {
        const QJsonObject info = Probe(out + QLatin1Char('/') + name);
        const QJsonArray streams = info.value(QStringLiteral("streams")).toArray();
        ASSERT_EQ(streams.size(), 2) << name.toStdString();
        for (const auto& value : streams) {
            const QJsonObject stream = value.toObject();
            if (stream.value(QStringLiteral("codec_type")).toString() == QStringLiteral("video")) {
                EXPECT_EQ(stream.value(QStringLiteral("codec_name")).toString(),
                          QStringLiteral("h264"));
                EXPECT_EQ(stream.value(QStringLiteral("width")).toInt(), 480);
                EXPECT_EQ(stream.value(QStringLiteral("height")).toInt(), 320);
            } else {
                EXPECT_EQ(stream.value(QStringLiteral("codec_name")).toString(),
                          QStringLiteral("aac"));
                EXPECT_EQ(stream.value(QStringLiteral("channels")).toInt(), 2);
            }
        }
    }
    // Nothing but the two outputs is left in the folder.
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(ConvertCommandTest, AFailingFileDoesNotStopTheRun) {
    const QString out = OutputFolder();
    // A custom size of 16x16 that libx264 accepts and an audio file with video settings
    // removed: both convert; the corrupt input is reported and skipped.
    const Outcome o = Convert({"--profile", "ID_MPB", "--output", out, Path("song.mp3"),
                               Path("junk.mp4"), Path("clip.mp4")});
    EXPECT_EQ(o.ExitCode, 1);
    EXPECT_TRUE(o.Out.contains(QStringLiteral("Converted 2 of 3 files (1 failed)")))
        << o.Out.toStdString();
    EXPECT_TRUE(QFile::exists(out + QStringLiteral("/song.mp3")));
    EXPECT_TRUE(QFile::exists(out + QStringLiteral("/clip.mp3")));
}

// The bytes of a path, as the system and the child's argv take them.
std::string Bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// The program run with raw arguments; Err and Out are what it wrote.
struct RawRun {
    std::optional<int> Status;
    std::string Out;
    std::string Err;
};

RawRun RunRaw(const std::vector<std::string>& args, const QTemporaryDir& scratch,
              std::chrono::seconds timeout = std::chrono::seconds(120)) {
    const std::string out = Bytes(scratch.filePath(QStringLiteral("stdout")));
    const std::string err = Bytes(scratch.filePath(QStringLiteral("stderr")));
    std::vector<std::string> argv{OSTREL_CONVERT_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    testing::Child child(argv, out, err);
    RawRun run;
    run.Status = child.Wait(timeout);
    run.Out = testing::ReadWhole(out);
    run.Err = testing::ReadWhole(err);
    return run;
}

TEST_F(ConvertCommandTest, OnlyRegularFilesAreProbed) {
    // A named pipe would block the probe until a writer came; a device or a folder is no
    // media file either. Each is refused at once, and the run goes on with the rest.
    const QTemporaryDir scratch;
    const QString pipe = scratch.filePath(QStringLiteral("pipe.mp4"));
    const QString folder = scratch.filePath(QStringLiteral("folder.avi"));
    ASSERT_EQ(::mkfifo(Bytes(pipe).c_str(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(folder));
    const RawRun run =
        RunRaw({"--profile", "ID_MPB", "--output", Bytes(scratch.path()), "--dry-run", Bytes(pipe),
                "/dev/null", Bytes(folder), Bytes(Path("song.mp3"))},
               scratch, std::chrono::seconds(30));
    ASSERT_TRUE(run.Status.has_value()) << "still probing after 30 s";
    EXPECT_EQ(*run.Status, 1) << run.Err;
    for (const QString& refused : {pipe, QStringLiteral("/dev/null"), folder}) {
        EXPECT_NE(run.Err.find(Bytes(refused) + " Error: Not a regular file"), std::string::npos)
            << run.Err;
    }
    EXPECT_NE(run.Out.find(Bytes(Path("song.mp3"))), std::string::npos) << run.Out;
}

TEST_F(ConvertCommandTest, AFileNamedTwiceThroughALinkIsConvertedOnce) {
    const QTemporaryDir scratch;
    const QString link = scratch.filePath(QStringLiteral("link to song.mp3"));
    ASSERT_TRUE(QFile::link(Path("song.mp3"), link));
    const Outcome o = Convert({"--profile", "ID_MPB", "--output", scratch.path(), "--dry-run", link,
                               Path("song.mp3"), media_ + QStringLiteral("/./song.mp3")});
    EXPECT_EQ(o.ExitCode, 0) << o.Err.toStdString();
    EXPECT_EQ(o.Out.trimmed().split(u'\n').size(), 1) << o.Out.toStdString();
}

TEST_F(ConvertCommandTest, OutputFolderNamesKeepTheirBlanks) {
    const struct {
        const char* name;
        bool trimmedAlsoExists;
    } cases[] = {{"out ", false}, {"both ", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString base = OutputFolder();
        const QString given = base + u'/' + QLatin1String(c.name);
        const QString trimmed = given.trimmed();
        ASSERT_TRUE(QDir().mkpath(given));
        if (c.trimmedAlsoExists) {
            ASSERT_TRUE(QDir().mkpath(trimmed));
        }
        const Outcome o = Convert({"--profile", "ID_MPB", "--output", given, Path("song.mp3")});
        ASSERT_EQ(o.ExitCode, 0) << o.Out.toStdString() << o.Err.toStdString();
        EXPECT_TRUE(QFile::exists(given + QStringLiteral("/song.mp3")));
        EXPECT_FALSE(QFile::exists(trimmed + QStringLiteral("/song.mp3")));
    }
}

// Removes paths by their bytes: Qt's own removal of a temporary folder skips names that are
// not UTF-8.
struct RemovedAtEnd {
    std::vector<std::string> paths;
    ~RemovedAtEnd() {
        for (const std::string& path : paths) {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
};

TEST_F(ConvertCommandTest, NamesThatAreNotUtf8AreConverted) {
    // Latin-1 names, as an old disk or archive holds them: the input and the output folder.
    const QTemporaryDir scratch;
    const std::string root = Bytes(scratch.path());
    const std::string input = root + "/chanson d'\xe9t\xe9.mp3";
    const std::string folder = root + "/sortie \xe9";
    const RemovedAtEnd cleanup{{input, folder}};
    std::filesystem::copy_file(Bytes(Path("song.mp3")), input);
    std::filesystem::create_directory(folder);
    const RawRun run = RunRaw({"--profile", "ID_MPB", "--output", folder, input}, scratch);
    ASSERT_EQ(run.Status, std::optional<int>(0)) << run.Out << run.Err;
    const std::string output = folder + "/chanson d'\xe9t\xe9.mp3";
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"chanson d'\xe9t\xe9.mp3"});
    EXPECT_GT(std::filesystem::file_size(output), 1000u);
    // The line names the output as the file system does.
    EXPECT_NE(run.Out.find(" -> " + output), std::string::npos) << run.Out;
}

// A conversion of the long clip, stopped by a signal once its output is being written.
class StoppedRun {
  public:
    explicit StoppedRun(const QString& input, const QTemporaryDir& scratch) {
        out_ = Bytes(scratch.filePath(QStringLiteral("out")));
        err_ = Bytes(scratch.filePath(QStringLiteral("stderr")));
        std::filesystem::create_directory(out_);
        child_ = std::make_unique<testing::Child>(
            std::vector<std::string>{OSTREL_CONVERT_PATH, "--profile", "ID_MPH", "--threads", "1",
                                     "--output", out_, Bytes(input)},
            Bytes(scratch.filePath(QStringLiteral("stdout"))), err_);
    }

    // True once the output folder holds something, while the conversion still runs.
    bool WaitUntilWriting() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < until && child_->Running()) {
            if (!FolderEntries(out_).empty()) {
                return child_->Running();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    testing::Child& Child() { return *child_; }
    const std::string& Out() const { return out_; }
    std::string Err() const { return testing::ReadWhole(err_); }

  private:
    std::string out_;
    std::string err_;
    std::unique_ptr<testing::Child> child_;
};

TEST_F(ConvertCommandTest, ASignalStopsTheRunAndLeavesNothing) {
    const struct {
        int signal;
        int status;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const auto& c : cases) {
        SCOPED_TRACE(strsignal(c.signal));
        const QTemporaryDir scratch;
        StoppedRun run(Path("long.avi"), scratch);
        ASSERT_TRUE(run.WaitUntilWriting());
        run.Child().Signal(c.signal);
        EXPECT_EQ(run.Child().Wait(std::chrono::seconds(20)), std::optional<int>(c.status))
            << run.Err();
        EXPECT_EQ(FolderEntries(run.Out()), std::vector<std::string>{});
    }
}

// Ending at once leaves the conversion's threads running or unjoined, as intended. A
// ThreadSanitizer build would count those as leaked threads at the exit and change the exit
// status, so its children are told not to report them while this lives.
class ThreadsLeftAtExit {
  public:
    ThreadsLeftAtExit() {
        const char* options = std::getenv("TSAN_OPTIONS");
        if (options != nullptr) {
            saved_ = options;
            ::setenv("TSAN_OPTIONS", (saved_ + " report_thread_leaks=0").c_str(), 1);
        }
    }
    ~ThreadsLeftAtExit() {
        if (!saved_.empty()) {
            ::setenv("TSAN_OPTIONS", saved_.c_str(), 1);
        }
    }
    ThreadsLeftAtExit(const ThreadsLeftAtExit&) = delete;
    ThreadsLeftAtExit& operator=(const ThreadsLeftAtExit&) = delete;

  private:
    std::string saved_;
};

TEST_F(ConvertCommandTest, ASecondInterruptEndsAtOnce) {
    const ThreadsLeftAtExit threadsLeft;
    const QTemporaryDir scratch;
    StoppedRun run(Path("long.avi"), scratch);
    ASSERT_TRUE(run.WaitUntilWriting());
    run.Child().Signal(SIGINT);
    run.Child().Signal(SIGINT);
    EXPECT_EQ(run.Child().Wait(std::chrono::seconds(5)), std::optional<int>(130)) << run.Err();
}

TEST_F(ConvertCommandTest, AClosedStandardOutputDoesNotStopTheRun) {
    // As under "ostrel-convert ... | head -1" once head has ended: every write to standard
    // output fails, the files are converted all the same.
    const QTemporaryDir scratch;
    const std::string out = Bytes(scratch.filePath(QStringLiteral("out")));
    std::filesystem::create_directory(out);
    testing::Child child({OSTREL_CONVERT_PATH, "--profile", "ID_MPB", "--threads", "1", "--output",
                          out, Bytes(Path("song.mp3")), Bytes(Path("clip.mp4"))},
                         std::string(), Bytes(scratch.filePath(QStringLiteral("stderr"))), true);
    EXPECT_EQ(child.Wait(std::chrono::seconds(120)), std::optional<int>(0));
    EXPECT_EQ(FolderEntries(out).size(), 2u);
}

}  // namespace
// The media libraries' own complaints about a damaged input stay off the terminal unless asked
// for; before, one such file printed some hundred lines.
TEST_F(ConvertCommandTest, LibraryMessagesOnlyWithVerbose) {
    QFile clip(Path(QStringLiteral("clip.mp4")));
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    QByteArray bytes = clip.readAll();
    quint32 noise = 12345;
    for (qsizetype i = bytes.size() / 5; i < bytes.size() * 4 / 5; i += 7) {
        noise = noise * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(noise >> 24);
    }
    const QString folder = OutputFolder();
    const QString damaged = folder + QStringLiteral("/in/damaged.mp4");
    QDir().mkpath(folder + QStringLiteral("/in"));
    QFile out(damaged);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    const QStringList args = {"--profile", "ID_MP", "--output", folder, damaged};
    const Outcome quiet = Convert(args);
    EXPECT_FALSE(quiet.Err.contains(QStringLiteral(" @ 0x"))) << quiet.Err.toStdString();
    EXPECT_LE(quiet.Err.count(u'\n'), 2) << quiet.Err.toStdString();
    QFile::remove(folder + QStringLiteral("/damaged.mp4"));
    const Outcome verbose = Convert(QStringList{"--verbose"} + args);
    EXPECT_TRUE(verbose.Err.contains(QStringLiteral(" @ 0x"))) << verbose.Err.toStdString();
}

}  // namespace ostrel

#include "conversion/output_plan.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace ostrel {
namespace {

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(OutputPlannerTest, NeverTheInputNeverTwiceNeverAnExistingFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString d = dir.path() + QLatin1Char('/');
    Touch(d + QStringLiteral("clip.mp4"));  // an input that is also the desired output
    Touch(d + QStringLiteral("other.avi"));
    Touch(d + QStringLiteral("taken.mp4"));  // an unrelated existing file
    Touch(d + QStringLiteral("taken (1).mp4"));
    Touch(d + QStringLiteral("taken.avi"));
    QDir().mkdir(d + QStringLiteral("sub"));

    OutputPlanner planner;
    const struct {
        QString input;
        QString desired;
        QString planned;
    } cases[] = {
        {d + "clip.mp4", d + "clip.mp4", d + "clip (1).mp4"},
        {d + "other.avi", d + "other.mp4", d + "other.mp4"},
        {d + "sub/other.mov", d + "other.mp4", d + "other (1).mp4"},  // same name from two folders
        {d + "taken.avi", d + "taken.mp4", d + "taken (2).mp4"},
        {d + "noext", d + "noext", d + "noext (1)"},  // the input itself, no extension
        {d + "x.mkv", d + "sub/../x.mp4", d + "sub/../x.mp4"},
        {d + "y.mkv", d + "x.mp4", d + "x (1).mp4"},  // the same file as the planned sub/../x.mp4
    };
    Touch(d + QStringLiteral("noext"));
    for (const auto& c : cases) {
        EXPECT_EQ(planner.Plan(c.input, c.desired), c.planned) << c.desired.toStdString();
    }
    EXPECT_EQ(planner.Planned().size(), static_cast<qsizetype>(std::size(cases)));
}

TEST(OutputPlannerTest, InputReachedThroughALinkIsStillTheInput) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString d = dir.path() + QLatin1Char('/');
    QDir().mkdir(d + QStringLiteral("real"));
    Touch(d + QStringLiteral("real/song.mp3"));
    ASSERT_TRUE(QFile::link(d + QStringLiteral("real"), d + QStringLiteral("alias")));
    OutputPlanner planner;
    EXPECT_EQ(
        planner.Plan(d + QStringLiteral("alias/song.mp3"), d + QStringLiteral("real/song.mp3")),
        d + QStringLiteral("real/song (1).mp3"));
}

// Subfolders are made part by part; a link planted anywhere on the way fails the row and
// nothing is made or written beyond it.
TEST(OutputPlannerTest, SubfoldersAreMadeButNeverThroughALink) {
    QTemporaryDir dir;
    QTemporaryDir outside;
    ASSERT_TRUE(dir.isValid() && outside.isValid());
    const QString d = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(d + "made/deep"));
    ASSERT_TRUE(QFile::link(outside.path(), d + "out"));
    ASSERT_TRUE(QFile::link(outside.path(), d + "made/link"));
    Touch(d + "file");
    const struct {
        QString relative;
        bool made;
    } cases[] = {
        {"a/b/c/", true},        {"made/deep/", true}, {"out/", false},
        {"made/link/x/", false}, {"file/", false},     {"a/file/", true},
    };
    for (const auto& c : cases) {
        const QString error = CreateOutputSubfolders(d, c.relative);
        EXPECT_EQ(error.isEmpty(), c.made) << c.relative.toStdString() << error.toStdString();
        const QFileInfo made(d + c.relative.chopped(1));
        EXPECT_EQ(made.isDir() && !made.isSymLink(), c.made) << c.relative.toStdString();
    }
    EXPECT_TRUE(QDir(outside.path()).isEmpty());
}

TEST(OutputPlannerTest, CopiesTheModificationTimeWithoutFollowingALink) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString d = dir.path() + QLatin1Char('/');
    Touch(d + "in");
    Touch(d + "out");
    Touch(d + "target");
    ASSERT_TRUE(QFile::link(d + "target", d + "link"));
    const QDateTime then = QDateTime::fromSecsSinceEpoch(1262304000);  // 2010-01-01
    {
        QFile input(d + "in");
        ASSERT_TRUE(input.open(QIODevice::ReadWrite));
        ASSERT_TRUE(input.setFileTime(then, QFileDevice::FileModificationTime));
    }
    EXPECT_TRUE(CopyModificationTime(d + "in", d + "out"));
    EXPECT_EQ(QFileInfo(d + "out").lastModified(), then);
    EXPECT_FALSE(CopyModificationTime(d + "missing", d + "out"));
    CopyModificationTime(d + "in", d + "link");
    EXPECT_NE(QFileInfo(d + "target").lastModified(), then);
}

}  // namespace
}  // namespace ostrel

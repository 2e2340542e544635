#include "conversion/output_plan.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QDir>
#include <QFile>
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

}  // namespace
}  // namespace ostrel

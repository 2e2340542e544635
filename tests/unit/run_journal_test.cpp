#include "conversion/run_journal.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>

#include "common/event_queue.h"
#include "fake_encoder.h"
#include "file_rows.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

using testing::FakeEncoder;
using testing::VideoFileRow;
using Outcome = engine::TaskOutcome;

// A run that ends one file, fails one and dies: the journal then holds what is done, also the
// file whose output was renamed into place just before the crash, and ignores a line cut short.
// Taken up again, the run converts only the rest, and then the journal says every file is done.
TEST(RunJournalTest, ARunTakenUpAgainConvertsOnlyWhatIsNotDone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.path() + QStringLiteral("/");
    const QString journalPath = out + QStringLiteral("journal");
    QList<FileRow> rows;
    for (const char* name : {"a.avi", "b.avi", "c.avi", "d.avi"}) {
        rows.append(VideoFileRow(out + QStringLiteral("in/") + QLatin1String(name)));
    }
    rows[3].RelativeFolder = QStringLiteral("sub/");

    EventQueue queue;
    FakeEncoder encoder;
    encoder.SetEventPoster(queue.Poster());
    {
        ConversionRun run;
        run.Plan(rows, OutputSettings{}, out);
        RunJournal journal;
        ASSERT_TRUE(journal.Begin(journalPath, run, SettingsToJson(OutputSettings{})));
        run.QueuePlanned(encoder, {});
        ASSERT_TRUE(run.Start(encoder, 1));
        encoder.Written(0, (out + "a.mp4").toStdString());
        encoder.Finished(0, Outcome::Succeeded);
        encoder.Finished(1, Outcome::Failed, "broken");
        queue.RunPending(std::chrono::milliseconds(0));
        QFile(out + "c.mp4").open(QIODevice::WriteOnly);  // renamed, then the crash
        QFile file(journalPath);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("{\"done\":3,");  // cut short
    }
    std::optional<JournalContents> loaded = LoadJournal(journalPath);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->OutputFolder, out);
    EXPECT_EQ(loaded->Settings.value("format").toString(), "mp4h264");
    const struct {
        bool done;
        QString output;
        QString error;
    } expected[] = {{true, out + "a.mp4", ""},
                    {false, out + "b.mp4", "broken"},
                    {true, out + "c.mp4", ""},
                    {false, out + "sub/d.mp4", ""}};
    ASSERT_EQ(loaded->Entries.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(loaded->Entries[i].Done, expected[i].done) << i;
        EXPECT_EQ(loaded->Entries[i].Planned.OutputPath, expected[i].output) << i;
        EXPECT_EQ(loaded->Entries[i].Error, expected[i].error) << i;
    }
    EXPECT_EQ(loaded->DoneCount(), 2);

    QList<int> entries;
    ConversionRun again;
    again.SetPlannedRows(loaded->PendingRows(&entries), loaded->OutputFolder, false);
    EXPECT_EQ(entries, (QList<int>{1, 3}));
    RunJournal journal;
    ASSERT_TRUE(journal.Resume(journalPath, again, *loaded, entries));
    encoder.outputs.clear();
    again.QueuePlanned(encoder, {});
    ASSERT_EQ(encoder.outputs.size(), 2u);
    EXPECT_EQ(encoder.outputs[1].first, (out + "sub/d.mp4").toStdString());
    ASSERT_TRUE(again.Start(encoder, 1));
    encoder.Finished(0, Outcome::Succeeded);
    encoder.Finished(1, Outcome::Succeeded);
    queue.RunPending(std::chrono::milliseconds(0));
    loaded = LoadJournal(journalPath);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->DoneCount(), 4);
    journal.Remove();
    EXPECT_FALSE(QFile::exists(journalPath));
    EXPECT_FALSE(LoadJournal(journalPath).has_value());
}

}  // namespace
}  // namespace ostrel

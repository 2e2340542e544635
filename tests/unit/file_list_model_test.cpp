#include "filelist/file_list_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <ostream>

#include "file_rows.h"
#include "filelist/file_adder.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

FileRow MakeRow(const QString& name, double seconds = 1.0) {
    FileRow row;
    row.FileName = name;
    row.DurationSeconds = seconds;
    return row;
}

// A list of rows "a", "b", ... with the rows marked in selection selected ("1010").
void Fill(FileListModel& model, const QString& names, const QString& selection = QString()) {
    for (int index = 0; index < names.size(); ++index) {
        model.Append(MakeRow(names.mid(index, 1)));
        model.SetSelected(index, selection.mid(index, 1) == QStringLiteral("1"));
    }
}

QString Names(const FileListModel& model) {
    QString names;
    for (const FileRow& row : model.Rows()) {
        names += row.FileName;
    }
    return names;
}

QString Selection(const FileListModel& model) {
    QString marks;
    for (int row = 0; row < model.Count(); ++row) {
        marks += model.IsSelected(row) ? u'1' : u'0';
    }
    return marks;
}

TEST(FileListModel, ColumnsHeadersAndAlignments) {
    const FileListModel model;
    const QStringList headers = {"File Name", "Type",     "Duration",    "Video Size",
                                 "File Size", "Modified", "Video Codec", "Audio Codec"};
    ASSERT_EQ(model.columnCount(), headers.size());
    for (int column = 0; column < headers.size(); ++column) {
        EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), headers.at(column));
    }
    const auto alignment = [&](int column) {
        return model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole)
                   .value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(FileListModel::ColumnFileName), Qt::AlignLeft);
    EXPECT_EQ(alignment(FileListModel::ColumnType), Qt::AlignHCenter);
    EXPECT_EQ(alignment(FileListModel::ColumnFileSize), Qt::AlignRight);
    EXPECT_EQ(alignment(FileListModel::ColumnAudioCodec), Qt::AlignLeft);
    // The file name is the widest column by default.
    for (const auto& column : FileListModel::Columns()) {
        EXPECT_LE(column.RelativeWidth, FileListModel::Columns().at(0).RelativeWidth);
    }
}

struct ListCommandCase {
    const char* name;
    QString names;
    QString selection;
    int current;
    std::function<bool(FileListModel&)> command;
    QString namesAfter;
    QString selectionAfter;
    int currentAfter;
    bool focus;  // whether the list takes the focus
};

void PrintTo(const ListCommandCase& c, std::ostream* os) {
    *os << c.name;
}

class ListCommands : public ::testing::TestWithParam<ListCommandCase> {};

TEST_P(ListCommands, ChangeRowsSelectionAndCurrentRow) {
    const ListCommandCase& c = GetParam();
    FileListModel model;
    Fill(model, c.names, c.selection);
    model.SetCurrentRow(c.current);
    EXPECT_EQ(c.command(model), c.focus);
    EXPECT_EQ(Names(model), c.namesAfter);
    EXPECT_EQ(Selection(model), c.selectionAfter);
    EXPECT_EQ(model.CurrentRow(), c.currentAfter);
}

const auto kSelectAll = [](FileListModel& m) { return m.SelectAll(); };
const auto kInvert = [](FileListModel& m) { return m.InvertSelection(); };
const auto kRemove = [](FileListModel& m) { return m.RemoveSelected(); };
const auto kClear = [](FileListModel& m) {
    m.ClearAll();
    return false;
};
const auto kUp = [](FileListModel& m) { return m.MoveUp(); };
const auto kDown = [](FileListModel& m) { return m.MoveDown(); };
const auto kOnlyLast = [](FileListModel& m) {
    m.SelectOnlyLast();
    return false;
};

INSTANTIATE_TEST_SUITE_P(
    FileListModel, ListCommands,
    ::testing::Values(
        ListCommandCase{"SelectAllEmpty", "", "", -1, kSelectAll, "", "", -1, false},
        ListCommandCase{"InvertEmpty", "", "", -1, kInvert, "", "", -1, false},
        ListCommandCase{"RemoveEmpty", "", "", -1, kRemove, "", "", -1, false},
        ListCommandCase{"SelectAll", "abc", "010", 1, kSelectAll, "abc", "111", 1, true},
        ListCommandCase{"Invert", "abcd", "0110", 0, kInvert, "abcd", "1001", 0, true},
        ListCommandCase{"RemoveScattered", "abcdef", "110101", 4, kRemove, "ce", "00", 1, true},
        ListCommandCase{"RemoveCurrent", "abc", "010", 1, kRemove, "ac", "00", -1, true},
        ListCommandCase{"RemoveEverything", "abc", "111", 2, kRemove, "", "", -1, true},
        ListCommandCase{"RemoveNothingSelected", "abc", "000", 0, kRemove, "abc", "000", 0, true},
        ListCommandCase{"ClearAll", "abc", "101", 2, kClear, "", "", -1, false},
        ListCommandCase{"UpFirst", "abc", "100", 0, kUp, "abc", "100", 0, false},
        ListCommandCase{"DownLast", "abc", "001", 2, kDown, "abc", "001", 2, false},
        ListCommandCase{"UpSecond", "abc", "010", 1, kUp, "bac", "100", 0, true},
        ListCommandCase{"DownMiddleOthersStay", "abcd", "1101", 1, kDown, "acbd", "1011", 2, true},
        ListCommandCase{"UpNoCurrent", "abc", "010", -1, kUp, "abc", "010", -1, false},
        ListCommandCase{"OnlyLast", "abc", "110", 0, kOnlyLast, "abc", "001", 2, false},
        ListCommandCase{"OnlyLastEmpty", "", "", -1, kOnlyLast, "", "", -1, false}),
    [](const ::testing::TestParamInfo<ListCommandCase>& param) { return param.param.name; });

// The eight texts of a row, column by column.
QStringList Texts(const FileRow& row) {
    QStringList texts;
    for (int column = 0; column < FileListModel::ColumnCount; ++column) {
        texts.append(FileListModel::Text(row, column, QLocale(QLocale::English)));
    }
    return texts;
}

FileRow VideoRow() {
    FileRow row = testing::VideoFileRow(QStringLiteral("/v/one.Mp4"), 640, 480);
    row.DurationSeconds = 30.4;
    row.SizeBytes = 1572864;
    row.Modified = QDateTime(QDate(2015, 3, 9), QTime(17, 4, 5));
    return row;
}

TEST(FileListModel, TextsAreDerivedFromTheFacts) {
    using Change = std::function<void(FileRow&)>;
    const struct {
        const char* name;
        Change change;
        QStringList texts;
    } cases[] = {
        {"video and audio",
         [](FileRow&) {},
         {"/v/one.Mp4", "MP4", "00:00:30", "640 X 480", "1.5 MB", "2015/03/09 17:04:05", "h264",
          "aac"}},
        {"audio only",
         [](FileRow& row) {
             row.HasVideo = false;
             row.VideoCodec.clear();
         },
         {"/v/one.Mp4", "MP4", "00:00:30", "N/A", "1.5 MB", "2015/03/09 17:04:05", "N/A", "aac"}},
        {"video only",
         [](FileRow& row) { row.HasAudio = false; },
         {"/v/one.Mp4", "MP4", "00:00:30", "640 X 480", "1.5 MB", "2015/03/09 17:04:05", "h264",
          "N/A"}},
        {"no extension, empty and unknown size",
         [](FileRow& row) {
             row.FileName = QStringLiteral("/v.d/clip");
             row.SizeBytes = -1;
             row.Modified = QDateTime();
             row.DurationSeconds = 3723.0;
         },
         {"/v.d/clip", "", "01:02:03", "640 X 480", "0.0 MB", "", "h264", "aac"}},
    };
    for (const auto& c : cases) {
        FileRow row = VideoRow();
        c.change(row);
        EXPECT_EQ(Texts(row), c.texts) << c.name;
    }
}

TEST(FileListModel, MegabytesUseTheLocalesMarks) {
    const struct {
        QLocale::Language language;
        double megabytes;
        const char* text;
    } cases[] = {
        {QLocale::English, 0.0, "0.0 MB"},
        {QLocale::English, 1.5, "1.5 MB"},
        {QLocale::English, 1234.56, "1,234.6 MB"},
        {QLocale::German, 1234.56, "1.234,6 MB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatMegabytes(c.megabytes, QLocale(c.language)), QLatin1String(c.text));
    }
}

TEST(FileListModel, MoveExchangesEveryTextAndTheDuration) {
    FileListModel model;
    const FileRow first = VideoRow();
    FileRow second = MakeRow(QStringLiteral("/v/two.wav"), 59.6);
    second.HasAudio = true;
    second.AudioCodec = QStringLiteral("pcm_s16le");
    model.Append(first);
    model.Append(second);
    model.SetCurrentRow(1);
    int changed = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, &model, [&changed] { ++changed; });
    ASSERT_TRUE(model.MoveUp());
    EXPECT_EQ(model.Row(0), second);
    EXPECT_EQ(model.Row(1), first);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(model.data(model.index(0, FileListModel::ColumnAudioCodec)).toString(),
              QStringLiteral("pcm_s16le"));
    EXPECT_EQ(model.data(model.index(1, 0), FileListModel::DurationSecondsRole).toDouble(), 30.4);
}

TEST(FileListModel, MoveSkipsARowWithoutAPath) {
    FileListModel model;
    model.Append(MakeRow(QStringLiteral("a")));
    model.Append(MakeRow(QString()));
    model.SetCurrentRow(1);
    EXPECT_FALSE(model.MoveUp());
    EXPECT_EQ(model.Row(0).FileName, QStringLiteral("a"));
}

TEST(FileListModel, IsListedIsExactAndCaseSensitive) {
    FileListModel model;
    model.Append(MakeRow(QStringLiteral("/v/Clip.mp4")));
    EXPECT_TRUE(model.IsListed(QStringLiteral("/v/Clip.mp4")));
    EXPECT_FALSE(model.IsListed(QStringLiteral("/v/clip.mp4")));
    EXPECT_FALSE(model.IsListed(QStringLiteral("/v/Clip.mp4 ")));
    EXPECT_FALSE(model.IsListed(QString()));
}

TEST(ListTotals, RefreshOnlyWhenTheCountChanged) {
    FileListModel model;
    ListTotals totals;
    EXPECT_EQ(totals.FilesText(), QStringLiteral("Total Files: 0"));
    EXPECT_EQ(totals.DurationText(), QStringLiteral("Total Duration: 00:00:00"));
    EXPECT_FALSE(totals.Refresh(model));

    model.Append(MakeRow(QStringLiteral("a"), 30.4));
    model.Append(MakeRow(QStringLiteral("b"), 30.4));
    ASSERT_TRUE(totals.Refresh(model));
    EXPECT_EQ(totals.FilesText(), QStringLiteral("Total Files: 2"));
    EXPECT_EQ(totals.DurationText(), QStringLiteral("Total Duration: 00:01:01"));
    EXPECT_EQ(totals.LastCountedRows(), 2);

    // Same count: an exchange, or a removal and an addition, leave the texts alone.
    model.SetSelected(0, true);
    model.RemoveSelected();
    model.Append(MakeRow(QStringLiteral("c"), 100.0));
    EXPECT_FALSE(totals.Refresh(model));
    EXPECT_EQ(totals.DurationText(), QStringLiteral("Total Duration: 00:01:01"));

    model.ClearAll();
    ASSERT_TRUE(totals.Refresh(model));
    EXPECT_EQ(totals.FilesText(), QStringLiteral("Total Files: 0"));
    EXPECT_EQ(totals.DurationText(), QStringLiteral("Total Duration: 00:00:00"));
}

TEST(ListTotals, SumSkipsDurationsThatAreNotNumbers) {
    FileListModel model;
    model.Append(MakeRow(QStringLiteral("a"), 59.4));
    ListTotals totals;
    ASSERT_TRUE(totals.Refresh(model));
    EXPECT_EQ(totals.DurationText(), QStringLiteral("Total Duration: 00:00:59"));
    model.Append(MakeRow(QStringLiteral("b"), std::numeric_limits<double>::quiet_NaN()));
    model.Append(MakeRow(QStringLiteral("c"), std::numeric_limits<double>::infinity()));
    ASSERT_TRUE(totals.Refresh(model));
    EXPECT_EQ(totals.FilesText(), QStringLiteral("Total Files: 3"));
    EXPECT_EQ(totals.DurationText(), QStringLiteral("Total Duration: 00:00:59"));
}

TEST(OpenFilter, ThirtyThreeEntriesWithDotsInEveryPattern) {
    const auto& table = OpenFilterTable();
    ASSERT_EQ(table.size(), 33);
    EXPECT_EQ(table.first().Label, QStringLiteral("All Supported Media Files"));
    EXPECT_EQ(table.at(18).Label, QStringLiteral("Video - AMV files (*.amv)"));
    EXPECT_EQ(table.at(18).Pattern, QStringLiteral("*.amv"));
    EXPECT_EQ(table.last().Label, QStringLiteral("All Files (*.*)"));
    for (const OpenFilterEntry& entry : table) {
        for (const QString& pattern : entry.Pattern.split(u';')) {
            EXPECT_TRUE(pattern.startsWith(QStringLiteral("*."))) << pattern.toStdString();
        }
    }
    EXPECT_TRUE(table.at(0).Pattern.contains(QStringLiteral("*.3gp2;")));
    EXPECT_EQ(table.at(0).Pattern.split(u';').size(), 47);
}

TEST(OpenFilter, NameFiltersCarryTheLabelsAndMatchEveryFileForAllFiles) {
    const QStringList filters = OpenFilterNameFilters();
    ASSERT_EQ(filters.size(), 33);
    EXPECT_EQ(filters.at(10), QStringLiteral("Audio - MPEG-4 Audio (*.m4a,*.m4r) (*.m4a *.m4r)"));
    EXPECT_EQ(filters.last(), QStringLiteral("All Files (*.*) (*)"));
}

}  // namespace
}  // namespace ostrel

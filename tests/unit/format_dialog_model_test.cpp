#include "profiles/format_dialog_model.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace ostrel {
namespace {

const QString kFolder = QStringLiteral("/home/user/Videos/");

const ProfileEntry& Profile(int commandId) {
    const ProfileEntry* entry = FindProfile(commandId);
    EXPECT_NE(entry, nullptr) << commandId;
    return *entry;
}

TEST(FormatDialogModelTest, LoadsWithTheDefaultProfileCollapsed) {
    FormatDialogModel model(kFolder, 4);
    const OutputSettings& s = model.Settings();
    EXPECT_EQ(s.FormatKey, "mp4h264");
    EXPECT_EQ(model.FormatCaption(), "MP4 - H264 Video (*.mp4)");
    EXPECT_EQ(s.Extension, "mp4");
    EXPECT_EQ(model.Grid().Text(GridItem::Extension), "mp4");
    EXPECT_FALSE(s.AudioOnly);
    EXPECT_EQ(s.SizeIndex, 0);
    EXPECT_TRUE(s.Width.isEmpty());
    EXPECT_TRUE(s.Height.isEmpty());
    EXPECT_TRUE(model.IsSizeEnabled());
    EXPECT_FALSE(model.IsWidthEnabled());
    EXPECT_FALSE(model.IsHeightEnabled());
    EXPECT_TRUE(model.IsVideoQualityEnabled());
    EXPECT_EQ(s.VideoQuality, QualityNormal);
    EXPECT_EQ(s.AudioQuality, QualityNormal);
    EXPECT_EQ(s.DestinationFolder, kFolder);
    EXPECT_FALSE(model.IsGridExpanded());
    EXPECT_EQ(model.MoreButtonText(), "More >>");
    EXPECT_EQ(model.DialogWidthPixels(), 487);
    EXPECT_EQ(s.VideoBitrate, "Auto");
    EXPECT_EQ(s.Rotate, "0");
    EXPECT_EQ(s.CropTop, "0");
}

TEST(FormatDialogModelTest, MoreButtonExpandsAndCollapses) {
    FormatDialogModel model(kFolder, 2);
    model.ToggleMore();
    EXPECT_TRUE(model.IsGridExpanded());
    EXPECT_EQ(model.MoreButtonText(), "More <<");
    EXPECT_EQ(model.DialogWidthPixels(), 818);
    EXPECT_EQ(model.DialogWidthTwips(), 12270);
    model.ToggleMore();
    EXPECT_FALSE(model.IsGridExpanded());
    EXPECT_EQ(model.MoreButtonText(), "More >>");
    EXPECT_EQ(model.DialogWidthTwips(), 7305);
}

TEST(FormatDialogModelTest, CpuListRunsToTheProcessorCountWithTheLastSelected) {
    struct Case {
        int Processors;
        QStringList Choices;
    };
    const Case cases[] = {
        {4, {"1", "2", "3", "4"}},
        {1, {"1"}},
        {0, {"1"}},
        {-3, {"1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Processors);
        FormatDialogModel model(kFolder, c.Processors);
        EXPECT_EQ(model.CpuChoices(), c.Choices);
        EXPECT_EQ(model.Settings().CpuThreads, c.Choices.last());
        EXPECT_EQ(model.CpuIndex(), c.Choices.size() - 1);
    }
    FormatDialogModel model(kFolder, 4);
    EXPECT_TRUE(model.SelectCpu(1));
    EXPECT_EQ(model.Settings().CpuThreads, "2");
    EXPECT_FALSE(model.SelectCpu(4));
}

TEST(FormatDialogModelTest, SizeSelectionFillsOrEmptiesTheBoxes) {
    struct Case {
        int Index;
        const char* Width;
        const char* Height;
    };
    const Case cases[] = {
        {1, "128", "96"},    {2, "176", "144"},    {3, "320", "240"},  {4, "352", "240"},
        {5, "352", "288"},   {6, "480", "320"},    {7, "640", "480"},  {8, "720", "480"},
        {9, "704", "576"},   {10, "720", "576"},   {11, "800", "600"}, {12, "1024", "576"},
        {13, "1280", "720"}, {14, "1920", "1080"},
    };
    ASSERT_EQ(FormatDialogModel::SizeEntries().size(), 16);
    EXPECT_EQ(FormatDialogModel::SizeEntries().first(), "Auto");
    EXPECT_EQ(FormatDialogModel::SizeEntries().last(), "Custom...");
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatDialogModel::SizeEntries()[c.Index].toStdString());
        FormatDialogModel model(kFolder, 2);
        ASSERT_TRUE(model.SelectSize(kSizeIndexCustom));
        ASSERT_TRUE(model.SetWidthText(QStringLiteral("77")));
        ASSERT_TRUE(model.SelectSize(c.Index));
        EXPECT_EQ(model.Settings().SizeIndex, c.Index);
        EXPECT_EQ(model.Settings().Width, c.Width);
        EXPECT_EQ(model.Settings().Height, c.Height);
        EXPECT_FALSE(model.IsWidthEnabled());
        EXPECT_FALSE(model.IsHeightEnabled());
        EXPECT_FALSE(model.SetWidthText(QStringLiteral("1")));

        ASSERT_TRUE(model.SelectSize(kSizeIndexAuto));
        EXPECT_TRUE(model.Settings().Width.isEmpty());
        EXPECT_TRUE(model.Settings().Height.isEmpty());
        EXPECT_FALSE(model.IsWidthEnabled());
    }
    FormatDialogModel model(kFolder, 2);
    EXPECT_FALSE(model.SelectSize(16));
    EXPECT_FALSE(model.SelectSize(-1));
}

TEST(FormatDialogModelTest, CustomSizeEnablesTheBoxesKeepsTheTextAndFocusesWidth) {
    FormatDialogModel model(kFolder, 2);
    int focusRequests = 0;
    QObject::connect(&model, &FormatDialogModel::widthFocusRequested, &model,
                     [&focusRequests] { ++focusRequests; });
    ASSERT_TRUE(model.SelectSize(13));
    EXPECT_EQ(focusRequests, 0);
    ASSERT_TRUE(model.SelectSize(kSizeIndexCustom));
    EXPECT_EQ(focusRequests, 1);
    EXPECT_TRUE(model.IsWidthEnabled());
    EXPECT_TRUE(model.IsHeightEnabled());
    EXPECT_EQ(model.Settings().Width, "1280");
    EXPECT_EQ(model.Settings().Height, "720");
}

TEST(FormatDialogModelTest, LeavingASizeBoxMakesItEvenAndWithinRange) {
    struct Case {
        const char* Typed;
        const char* Left;
    };
    const Case cases[] = {
        {"", "16"},
        {"0", "16"},
        {"15", "16"},
        {"16", "16"},
        {"17", "18"},
        {"721", "722"},
        {"999", "1000"},
        {"4999", "5000"},
        {"5000", "5000"},
        {"5001", "5000"},
        {"99999999999999999999999", "5000"},
        {"0100", "100"},
        {"720abc", "720"},
        {" 641", "642"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        FormatDialogModel model(kFolder, 2);
        ASSERT_TRUE(model.SelectSize(kSizeIndexCustom));
        ASSERT_TRUE(model.SetWidthText(QString::fromLatin1(c.Typed)));
        ASSERT_TRUE(model.SetHeightText(QString::fromLatin1(c.Typed)));
        model.LeaveWidth();
        EXPECT_EQ(model.Settings().Width, c.Left);
        EXPECT_EQ(model.Settings().Height, c.Typed);  // only the box that was left
        model.LeaveHeight();
        EXPECT_EQ(model.Settings().Height, c.Left);
    }
}

TEST(FormatDialogModelTest, CommitSizeBoxesFixesABoxTheUserNeverLeft) {
    FormatDialogModel model(kFolder, 2);
    ASSERT_TRUE(model.SelectSize(kSizeIndexCustom));  // from "Auto": both boxes empty
    ASSERT_TRUE(model.SetWidthText(QStringLiteral("641")));
    model.LeaveWidth();
    model.CommitSizeBoxes();
    EXPECT_EQ(model.Settings().Width, "642");
    EXPECT_EQ(model.Settings().Height, "16");

    FormatDialogModel untouched(kFolder, 2);
    untouched.CommitSizeBoxes();  // "Auto" keeps empty boxes
    EXPECT_TRUE(untouched.Settings().Width.isEmpty());
}

TEST(FormatDialogModelTest, SizeBoxesAcceptOnlyDigitsAndBackspace) {
    const struct {
        QChar Key;
        bool Accepted;
    } cases[] = {
        {u'0', true},  {u'9', true},  {QChar(8), true}, {u'a', false},          {u'x', false},
        {u'-', false}, {u' ', false}, {u'.', false},    {QChar(0x0663), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDialogModel::FilterSizeKey(c.Key), c.Accepted)
            << static_cast<int>(c.Key.unicode());
    }
}

TEST(FormatDialogModelTest, ChoosingAQualityClearsTheExplicitValues) {
    FormatDialogModel model(kFolder, 2);
    SettingsGrid& grid = model.Grid();
    ASSERT_TRUE(grid.SetValueByUser(GridItem::VideoBitrate, QStringLiteral("2000k")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::AudioBitrate, QStringLiteral("192k")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::SampleRate, QStringLiteral("48000")));

    ASSERT_TRUE(model.SelectAudioQuality(QualityHigh));
    EXPECT_EQ(model.Settings().AudioQuality, QualityHigh);
    EXPECT_EQ(model.Settings().AudioBitrate, "Auto");
    EXPECT_EQ(model.Settings().SampleRate, "Auto");
    EXPECT_EQ(model.Settings().VideoBitrate, "2000k");

    ASSERT_TRUE(model.SelectVideoQuality(QualityLow));
    EXPECT_EQ(model.Settings().VideoQuality, QualityLow);
    EXPECT_EQ(model.Settings().VideoBitrate, "Auto");
    EXPECT_FALSE(model.SelectVideoQuality(3));
}

// Everything a profile choice must not touch: crop, flip, rotate, CPU and folder.
void MakeUserChanges(FormatDialogModel& model) {
    SettingsGrid& grid = model.Grid();
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropVideo, true));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropTop, QStringLiteral("10")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropRight, QStringLiteral("6")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::FlipVertical, true));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::Rotate, QStringLiteral("-90")));
    ASSERT_TRUE(model.SelectCpu(0));
    model.SetDestinationFolder(QStringLiteral("/tmp/out"));
    // ... and what a profile choice resets.
    ASSERT_TRUE(model.SelectVideoQuality(QualityHigh));
    ASSERT_TRUE(model.SelectAudioQuality(QualityLow));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::VideoBitrate, QStringLiteral("3000k")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::FrameRate, QStringLiteral("60")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::AspectRatio, QStringLiteral("4:3")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::AudioBitrate, QStringLiteral("320k")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::SampleRate, QStringLiteral("8000")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::Channels, QStringLiteral("1")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::RemoveAudio, true));
}

void ExpectUserChangesKept(const FormatDialogModel& model) {
    const OutputSettings& s = model.Settings();
    EXPECT_TRUE(s.CropEnabled);
    EXPECT_EQ(s.CropTop, "10");
    EXPECT_EQ(s.CropRight, "6");
    EXPECT_EQ(s.CropBottom, "0");
    EXPECT_TRUE(s.FlipVertical);
    EXPECT_FALSE(s.FlipHorizontal);
    EXPECT_EQ(s.Rotate, "-90");
    EXPECT_EQ(s.CpuThreads, "1");
    EXPECT_EQ(s.DestinationFolder, "/tmp/out");
    EXPECT_FALSE(model.Grid().IsItemReadOnly(GridItem::CropTop));
}

// Every profile of the catalogue, chosen after the user changed everything, leaves the record
// with the profile's key, presets and extension, the rest reset, and the user's crop, flip,
// rotate, CPU and folder untouched.
TEST(FormatDialogModelTest, ApplyProfileOfEveryCatalogueEntry) {
    for (const ProfileEntry& entry : AllProfiles()) {
        SCOPED_TRACE(entry.Caption);
        FormatDialogModel model(kFolder, 4);
        MakeUserChanges(model);
        model.ApplyProfile(entry);
        const OutputSettings& s = model.Settings();
        const SettingsGrid& grid = model.Grid();

        EXPECT_EQ(model.FormatCaption(), QString::fromUtf8(entry.Caption));
        EXPECT_EQ(s.FormatKey, entry.FormatKey);
        EXPECT_EQ(s.AudioOnly, entry.AudioOnly);
        EXPECT_EQ(s.Extension, ExtensionForFormatKey(QString::fromLatin1(entry.FormatKey)));
        EXPECT_EQ(s.VideoQuality, QualityNormal);
        EXPECT_EQ(s.AudioQuality, QualityNormal);
        EXPECT_EQ(s.VideoBitrate, "Auto");
        EXPECT_EQ(s.AspectRatio, "Auto");
        EXPECT_EQ(s.SampleRate, "Auto");
        EXPECT_FALSE(s.RemoveAudio);
        EXPECT_EQ(s.FrameRate, entry.PresetFrameRate ? entry.PresetFrameRate : "Auto");
        EXPECT_EQ(s.AudioBitrate, entry.PresetAudioBitrate ? entry.PresetAudioBitrate : "Auto");
        EXPECT_EQ(s.Channels, entry.PresetChannels);
        if (entry.HasPresetSize()) {
            EXPECT_EQ(s.SizeIndex, kSizeIndexCustom);
            EXPECT_EQ(s.Width, QString::number(entry.PresetWidth));
            EXPECT_EQ(s.Height, QString::number(entry.PresetHeight));
        } else {
            EXPECT_EQ(s.SizeIndex, kSizeIndexAuto);
            EXPECT_TRUE(s.Width.isEmpty());
            EXPECT_TRUE(s.Height.isEmpty());
        }
        ExpectUserChangesKept(model);

        const bool video = !entry.AudioOnly;
        EXPECT_EQ(model.IsSizeEnabled(), video);
        EXPECT_EQ(model.IsWidthEnabled(), video);
        EXPECT_EQ(model.IsHeightEnabled(), video);
        EXPECT_EQ(model.IsVideoQualityEnabled(), video);
        EXPECT_TRUE(model.IsAudioQualityEnabled());
        EXPECT_EQ(grid.IsCategoryHidden(GridCategory::VideoSettings), !video);
        EXPECT_EQ(grid.IsItemHidden(GridItem::RemoveAudio), !video);
        EXPECT_TRUE(grid.IsItemShown(GridItem::AudioBitrate));
        EXPECT_TRUE(grid.IsItemShown(GridItem::SampleRate));
        EXPECT_TRUE(grid.IsItemShown(GridItem::Channels));
        EXPECT_FALSE(model.IsGridExpanded());
    }
}

TEST(FormatDialogModelTest, ApplyProfileSpotChecks) {
    struct Case {
        int CommandId;
        int SizeIndex;
        const char* Width;
        const char* Height;
        const char* FrameRate;
        const char* AudioBitrate;
        int Channels;
        const char* Extension;
    };
    const Case cases[] = {
        {1035, 15, "720", "480", "Auto", "Auto", 0, "vob"},    // VOB: size, no frame rate
        {1082, 0, "", "", "Auto", "Auto", 2, "mp4"},           // Android MPEG4: channels only
        {1100, 15, "352", "288", "15", "Auto", 0, "3gp"},      // BlackBerry 3GP: no channels
        {1105, 15, "240", "260", "15", "96k", 2, "mp4"},       // portrait size as listed
        {1077, 15, "720", "576", "29.97", "Auto", 2, "mp4"},   // iPad H264
        {1157, 15, "1920", "1080", "Auto", "192k", 2, "mp4"},  // HD H264
        {1177, 0, "", "", "Auto", "Auto", 0, "mpg"},           // MPEG-2
        {1180, 15, "720", "480", "29.97", "Auto", 0, "mpg"},   // DVD NTSC
        {1181, 15, "352", "288", "25", "Auto", 0, "mpg"},      // VCD PAL
        {1194, 0, "", "", "Auto", "Auto", 0, "wma"},           // WMA
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.CommandId);
        FormatDialogModel model(kFolder, 2);
        ASSERT_TRUE(model.ApplyProfileById(c.CommandId));
        const OutputSettings& s = model.Settings();
        EXPECT_EQ(s.SizeIndex, c.SizeIndex);
        EXPECT_EQ(s.Width, c.Width);
        EXPECT_EQ(s.Height, c.Height);
        EXPECT_EQ(s.FrameRate, c.FrameRate);
        EXPECT_EQ(s.AudioBitrate, c.AudioBitrate);
        EXPECT_EQ(s.Channels, c.Channels);
        EXPECT_EQ(s.Extension, c.Extension);
        EXPECT_EQ(model.Grid().Text(GridItem::Channels), c.Channels == 2 ? "2" : "Auto");
    }
    FormatDialogModel model(kFolder, 2);
    EXPECT_FALSE(model.ApplyProfileById(1021));  // a sub-menu, not a profile
    EXPECT_EQ(model.Settings().FormatKey, "mp4h264");
}

TEST(FormatDialogModelTest, AudioProfileThenVideoProfileShowsAndEnablesAgain) {
    FormatDialogModel model(kFolder, 2);
    MakeUserChanges(model);
    model.ApplyProfile(Profile(1185));  // MP3
    EXPECT_TRUE(model.Settings().AudioOnly);
    EXPECT_FALSE(model.SelectSize(13));
    EXPECT_FALSE(model.SelectVideoQuality(QualityHigh));
    EXPECT_FALSE(model.SetWidthText(QStringLiteral("640")));
    EXPECT_TRUE(model.SelectAudioQuality(QualityHigh));
    EXPECT_FALSE(model.Grid().SetValueByUser(GridItem::RemoveAudio, true));
    EXPECT_FALSE(model.Grid().SetValueByUser(GridItem::FrameRate, QStringLiteral("25")));
    EXPECT_TRUE(model.Grid().SetValueByUser(GridItem::SampleRate, QStringLiteral("44100")));

    model.ApplyProfile(Profile(1030));  // MKV
    EXPECT_FALSE(model.Settings().AudioOnly);
    EXPECT_FALSE(model.Settings().RemoveAudio);
    EXPECT_EQ(model.Settings().AudioQuality, QualityNormal);
    EXPECT_EQ(model.Settings().SampleRate, "Auto");
    EXPECT_FALSE(model.Grid().IsCategoryHidden(GridCategory::VideoSettings));
    EXPECT_TRUE(model.Grid().IsItemShown(GridItem::RemoveAudio));
    EXPECT_TRUE(model.IsSizeEnabled());
    EXPECT_TRUE(model.IsVideoQualityEnabled());
    EXPECT_TRUE(model.SelectSize(13));
    EXPECT_EQ(model.Settings().Extension, "mkv");
    ExpectUserChangesKept(model);
}

TEST(FormatDialogModelTest, ChoosingTheSameProfileTwiceResetsTheUsersChanges) {
    FormatDialogModel model(kFolder, 4);
    model.ApplyProfile(Profile(1055));  // iPhone H.264: 480x320, 29.97, channels 2
    MakeUserChanges(model);
    ASSERT_TRUE(model.SelectSize(13));
    model.ApplyProfile(Profile(1055));
    const OutputSettings& s = model.Settings();
    EXPECT_EQ(s.SizeIndex, kSizeIndexCustom);
    EXPECT_EQ(s.Width, "480");
    EXPECT_EQ(s.Height, "320");
    EXPECT_EQ(s.VideoQuality, QualityNormal);
    EXPECT_EQ(s.AudioQuality, QualityNormal);
    EXPECT_EQ(s.VideoBitrate, "Auto");
    EXPECT_EQ(s.FrameRate, "29.97");
    EXPECT_EQ(s.AspectRatio, "Auto");
    EXPECT_EQ(s.AudioBitrate, "Auto");
    EXPECT_EQ(s.SampleRate, "Auto");
    EXPECT_EQ(s.Channels, ChannelsStereo);
    EXPECT_FALSE(s.RemoveAudio);
    EXPECT_TRUE(model.Grid().IsItemShown(GridItem::AudioBitrate));
    ExpectUserChangesKept(model);
}

TEST(FormatDialogModelTest, TellsViewsOncePerOperation) {
    FormatDialogModel model(kFolder, 2);
    int changes = 0;
    QObject::connect(&model, &FormatDialogModel::changed, &model, [&changes] { ++changes; });
    model.ApplyProfile(Profile(1185));
    EXPECT_EQ(changes, 1);
    model.ToggleMore();
    EXPECT_EQ(changes, 2);
    ASSERT_TRUE(model.Grid().SetValueByUser(GridItem::AudioBitrate, QStringLiteral("96k")));
    EXPECT_GE(changes, 3);  // an edit made straight on the grid (by its view) reaches us too
    const int before = changes;
    model.SetDestinationFolder(kFolder);
    EXPECT_EQ(changes, before);  // nothing changed, nothing told
}

TEST(FormatDialogModelTest, DestinationBecomesAbsoluteInTheHomeFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.path();
    ASSERT_TRUE(QDir(home).mkpath(QStringLiteral("tail ")));  // a real name ending in a blank
    ASSERT_TRUE(QDir(home).mkpath(QStringLiteral(" lead")));  // and one starting with one
    const struct {
        const char* typed;
        QString expected;
    } cases[] = {
        {"out", home + "/out/"},
        {"  out  ", home + "/out/"},
        {"~/Videos", home + "/Videos/"},
        {"~", home + "/"},
        {"~/", home + "/"},
        {"a/../b//c/", home + "/b/c/"},
        {"/srv/videos", "/srv/videos/"},
        {"  /srv/videos  ", "/srv/videos/"},
        {"~other/x", home + "/~other/x/"},  // only the user's own "~" is expanded
        {"tail ", home + "/tail /"},
        {"tail  ", home + "/tail/"},  // not a folder as typed: the blanks go
        {" lead", home + "/ lead/"},
        {"", ""},
        {"   ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(FormatDialogModel::AbsoluteDestination(QString::fromUtf8(c.typed), home),
                  c.expected);
    }
}

}  // namespace
}  // namespace ostrel

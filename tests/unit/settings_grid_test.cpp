#include "profiles/settings_grid.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <QTranslator>
#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "profiles/settings_grid_model.h"

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace ostrel {
namespace {

struct TypedCase {
    GridItem Item;
    const char* Typed;
    const char* Expected;
};

// What the user types and what the grid keeps after the value-change handling.
TEST(SettingsGridTest, CleansAndValidatesTypedValues) {
    const TypedCase cases[] = {
        {GridItem::VideoBitrate, "  2500k  ", "2500k"},
        {GridItem::VideoBitrate, "2500K", "2500K"},
        {GridItem::VideoBitrate, "48000", "48000"},
        {GridItem::VideoBitrate, "2500kb", "Auto"},
        {GridItem::VideoBitrate, "2.5M", "Auto"},
        {GridItem::VideoBitrate, "fast", "Auto"},
        {GridItem::VideoBitrate, "", "Auto"},
        {GridItem::VideoBitrate, "   ", "Auto"},
        {GridItem::VideoBitrate, "auto", "Auto"},
        {GridItem::VideoBitrate, "k", "Auto"},
        {GridItem::VideoBitrate, "-500k", "Auto"},
        {GridItem::VideoBitrate, "\xd9\xa3\xd9\xa0\xd9\xa0", "Auto"},  // Arabic-Indic digits
        {GridItem::AudioBitrate, " 128k", "128k"},
        {GridItem::AudioBitrate, "128 k", "Auto"},
        {GridItem::SampleRate, "44.1k", "Auto"},
        {GridItem::SampleRate, "44100", "44100"},
        {GridItem::SampleRate, "", "Auto"},
        {GridItem::FrameRate, "29.97", "29.97"},
        {GridItem::FrameRate, "25", "25"},
        {GridItem::FrameRate, "smooth", "Auto"},
        {GridItem::FrameRate, "-25", "Auto"},
        {GridItem::FrameRate, "0", "Auto"},
        {GridItem::FrameRate, "1e3", "Auto"},
        {GridItem::FrameRate, "25 -y", "Auto"},
        {GridItem::TargetFileSize, " 25 ", "25"},
        {GridItem::TargetFileSize, "9.5", "9.5"},
        {GridItem::TargetFileSize, "0", "Auto"},
        {GridItem::TargetFileSize, "-5", "Auto"},
        {GridItem::TargetFileSize, "25 MB", "Auto"},
        {GridItem::AspectRatio, "16:9", "16:9"},
        {GridItem::AspectRatio, "4:3", "4:3"},
        {GridItem::AspectRatio, "16/9", "Auto"},
        {GridItem::AspectRatio, "16:9:1", "Auto"},
        {GridItem::AspectRatio, "wide", "Auto"},
        {GridItem::AspectRatio, ":", "Auto"},
        {GridItem::AspectRatio, "16:", "Auto"},
        {GridItem::AspectRatio, "16:0", "Auto"},
        {GridItem::Rotate, "300", "0"},
        {GridItem::Rotate, "-300", "0"},
        {GridItem::Rotate, "-90", "-90"},
        {GridItem::Rotate, "270", "270"},
        {GridItem::Rotate, "-270", "-270"},
        {GridItem::Rotate, "270.5", "0"},
        {GridItem::Rotate, "", "0"},
        {GridItem::Rotate, "abc", "0"},
        {GridItem::CropTop, "-20", "20"},
        {GridItem::CropBottom, "", "0"},
        {GridItem::CropLeft, " 15 ", "15"},
        {GridItem::CropRight, "-7.5", "7.5"},
        {GridItem::CropRight, "abc", "abc"},  // kept; the option builder counts it as 0
    };
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(std::string(InfoOf(c.Item).Caption) + " <- '" + c.Typed + "'");
        SettingsGrid grid;
        ASSERT_TRUE(grid.SetValueByUser(GridItem::CropVideo, true));
        ASSERT_TRUE(grid.SetValueByUser(c.Item, QString::fromUtf8(c.Typed)));
        EXPECT_EQ(grid.Text(c.Item), QString::fromUtf8(c.Expected));
    }
}

// The grid's storage is the record: each item reads and writes its own field.
TEST(SettingsGridTest, ItemsWriteTheirOwnFields) {
    SettingsGrid grid;
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropVideo, true));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::VideoBitrate, QStringLiteral("1000k")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::FrameRate, QStringLiteral("25")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::AspectRatio, QStringLiteral("16:9")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropTop, QStringLiteral("1")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropBottom, QStringLiteral("2")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropLeft, QStringLiteral("3")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropRight, QStringLiteral("4")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::FlipHorizontal, true));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::Rotate, QStringLiteral("90")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::AudioBitrate, QStringLiteral("96k")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::SampleRate, QStringLiteral("22050")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::Channels, QStringLiteral("1")));

    OutputSettings expected;
    expected.Extension.clear();
    expected.CropEnabled = true;
    expected.VideoBitrate = "1000k";
    expected.FrameRate = "25";
    expected.AspectRatio = "16:9";
    expected.CropTop = "1";
    expected.CropBottom = "2";
    expected.CropLeft = "3";
    expected.CropRight = "4";
    expected.FlipHorizontal = true;
    expected.Rotate = "90";
    expected.AudioBitrate = "96k";
    expected.SampleRate = "22050";
    expected.Channels = ChannelsMono;
    EXPECT_TRUE(grid.Settings() == expected);
    EXPECT_EQ(grid.Value(GridItem::Channels), QVariant(1));
    EXPECT_EQ(grid.Text(GridItem::Channels), "1");
}

TEST(SettingsGridTest, ChannelsTakeOnlyTheirChoices) {
    struct Case {
        QVariant Value;
        bool Accepted;
        int Channels;
    };
    const Case cases[] = {
        {QStringLiteral("2"), true, 2},
        {QStringLiteral("Auto"), true, 0},
        {2, true, 2},
        {QStringLiteral("3"), false, 0},
        {QStringLiteral("auto"), false, 0},
        {3, false, 0},
        {-1, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Value.toString().toStdString());
        SettingsGrid grid;
        EXPECT_EQ(grid.SetValueByUser(GridItem::Channels, c.Value), c.Accepted);
        EXPECT_EQ(grid.Settings().Channels, c.Channels);
    }
}

// An invalid value written by the program is cleaned by the next edit of any item.
TEST(SettingsGridTest, AnyEditRevalidatesAllFiveTextValues) {
    const GridItem edits[] = {GridItem::FlipVertical, GridItem::Rotate, GridItem::Channels,
                              GridItem::RemoveAudio, GridItem::CropVideo};
    for (GridItem edited : edits) {
        SCOPED_TRACE(InfoOf(edited).Caption);
        SettingsGrid grid;
        grid.SetValue(GridItem::VideoBitrate, QStringLiteral("fast"));
        grid.SetValue(GridItem::AudioBitrate, QStringLiteral("1.5k"));
        grid.SetValue(GridItem::SampleRate, QStringLiteral(""));
        grid.SetValue(GridItem::FrameRate, QStringLiteral("smooth"));
        grid.SetValue(GridItem::AspectRatio, QStringLiteral("16/9"));
        grid.SetValue(GridItem::Rotate, QStringLiteral("999"));  // not one of the five
        EXPECT_EQ(grid.Text(GridItem::VideoBitrate), "fast");    // program writes are kept

        const QVariant value = edited == GridItem::Rotate     ? QVariant(QStringLiteral("90"))
                               : edited == GridItem::Channels ? QVariant(QStringLiteral("2"))
                                                              : QVariant(true);
        ASSERT_TRUE(grid.SetValueByUser(edited, value));
        EXPECT_EQ(grid.Text(GridItem::VideoBitrate), "Auto");
        EXPECT_EQ(grid.Text(GridItem::AudioBitrate), "Auto");
        EXPECT_EQ(grid.Text(GridItem::SampleRate), "Auto");
        EXPECT_EQ(grid.Text(GridItem::FrameRate), "Auto");
        EXPECT_EQ(grid.Text(GridItem::AspectRatio), "Auto");
        if (edited != GridItem::Rotate) {
            EXPECT_EQ(grid.Text(GridItem::Rotate), "999");
        }
    }
}

TEST(SettingsGridTest, RemoveAudioHidesAndShowsTheOtherAudioItems) {
    SettingsGrid grid;
    ASSERT_TRUE(grid.SetValueByUser(GridItem::AudioBitrate, QStringLiteral("128k")));
    ASSERT_TRUE(grid.SetValueByUser(GridItem::RemoveAudio, true));
    EXPECT_TRUE(grid.Settings().RemoveAudio);
    for (GridItem item : {GridItem::AudioBitrate, GridItem::SampleRate, GridItem::Channels}) {
        EXPECT_TRUE(grid.IsItemHidden(item)) << InfoOf(item).Caption;
        EXPECT_FALSE(grid.SetValueByUser(item, QStringLiteral("Auto"))) << InfoOf(item).Caption;
    }
    EXPECT_FALSE(grid.IsItemHidden(GridItem::RemoveAudio));
    EXPECT_EQ(grid.Text(GridItem::AudioBitrate), "128k");  // hidden, not cleared

    ASSERT_TRUE(grid.SetValueByUser(GridItem::RemoveAudio, false));
    for (GridItem item : {GridItem::AudioBitrate, GridItem::SampleRate, GridItem::Channels}) {
        EXPECT_TRUE(grid.IsItemShown(item)) << InfoOf(item).Caption;
    }
}

TEST(SettingsGridTest, CropVideoMakesTheMarginsEditableAndKeepsTheirValues) {
    const GridItem margins[] = {GridItem::CropTop, GridItem::CropBottom, GridItem::CropLeft,
                                GridItem::CropRight};
    SettingsGrid grid;
    for (GridItem margin : margins) {
        EXPECT_TRUE(grid.IsItemReadOnly(margin));
        EXPECT_FALSE(grid.SetValueByUser(margin, QStringLiteral("8")));
        EXPECT_EQ(grid.Text(margin), "0");
    }
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropVideo, true));
    for (GridItem margin : margins) {
        EXPECT_TRUE(grid.IsItemEditable(margin));
        EXPECT_TRUE(grid.SetValueByUser(margin, QStringLiteral("-8")));
    }
    ASSERT_TRUE(grid.SetValueByUser(GridItem::CropVideo, false));
    for (GridItem margin : margins) {
        EXPECT_TRUE(grid.IsItemReadOnly(margin));
        EXPECT_EQ(grid.Text(margin), "8");
    }
    EXPECT_FALSE(grid.Settings().CropEnabled);
}

TEST(SettingsGridTest, BuildsTheTableInitialState) {
    SettingsGrid grid;
    OutputSettings expected;
    expected.Extension.clear();  // the dialog's load sequence writes it
    EXPECT_TRUE(grid.Settings() == expected);

    std::set<GridItem> readOnly;
    for (const GridItemInfo& info : GridItemTable()) {
        if (grid.IsItemReadOnly(info.Item)) {
            readOnly.insert(info.Item);
        }
        EXPECT_TRUE(grid.IsItemShown(info.Item)) << info.Caption;
    }
    EXPECT_EQ(readOnly,
              (std::set<GridItem>{GridItem::Extension, GridItem::CropTop, GridItem::CropBottom,
                                  GridItem::CropLeft, GridItem::CropRight}));
    EXPECT_FALSE(grid.SetValueByUser(GridItem::Extension, QStringLiteral("avi")));
}

TEST(SettingsGridTest, FindsItemsByCaptionAndIdentifier) {
    EXPECT_EQ(FindGridItemByIdentifier(100), GridItem::RemoveAudio);
    EXPECT_EQ(FindGridItemByIdentifier(101), GridItem::CropVideo);
    EXPECT_EQ(FindGridItemByIdentifier(0), GridItem::None);
    EXPECT_EQ(FindGridItemByCaption(QStringLiteral("Frame Rate (FPS)")), GridItem::FrameRate);
    EXPECT_EQ(FindGridItemByCaption(QStringLiteral("Aspect Rate")), GridItem::AspectRatio);
    EXPECT_EQ(FindGridItemByCaption(QStringLiteral("frame rate (fps)")), GridItem::None);
    for (const GridItemInfo& info : GridItemTable()) {
        EXPECT_EQ(FindGridItemByCaption(QLatin1String(info.Caption)), info.Item);
    }
}

TEST(SettingsGridTest, ProgramWritesHaveNoSideEffects) {
    SettingsGrid grid;
    EXPECT_TRUE(grid.SetValue(GridItem::RemoveAudio, true));
    EXPECT_TRUE(grid.SetValue(GridItem::CropVideo, true));
    EXPECT_TRUE(grid.SetValue(GridItem::VideoBitrate, QStringLiteral(" x ")));
    EXPECT_FALSE(grid.IsItemHidden(GridItem::AudioBitrate));
    EXPECT_TRUE(grid.IsItemReadOnly(GridItem::CropTop));
    EXPECT_EQ(grid.Text(GridItem::VideoBitrate), " x ");
    EXPECT_FALSE(grid.SetValue(GridItem::CropVideo, QStringLiteral("maybe")));
    EXPECT_FALSE(grid.SetValue(GridItem::None, QStringLiteral("1")));
}

// --- the item model over the grid -------------------------------------------------------------

QStringList ChildCaptions(const SettingsGridModel& model, const QModelIndex& parent) {
    QStringList captions;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        captions << model.index(row, 0, parent).data().toString();
    }
    return captions;
}

TEST(SettingsGridModelTest, ShowsCategoriesItemsAndCropMarginsAsATree) {
    SettingsGrid grid;
    SettingsGridModel model(&grid);
    EXPECT_EQ(ChildCaptions(model, {}),
              (QStringList{"Output File", "Video Settings", "Audio Settings"}));
    EXPECT_EQ(ChildCaptions(model, model.index(0, 0)),
              (QStringList{"Filename Extension", "Keep Folder Structure", "Keep File Date",
                           "Copy Streams That Fit"}));
    EXPECT_EQ(
        ChildCaptions(model, model.index(1, 0)),
        (QStringList{"Video Bitrate", "Frame Rate (FPS)", "Aspect Rate", "Crop Video",
                     "Vertically Flip", "Horizontally Flip", "Rotate", "Target File Size (MB)"}));
    EXPECT_EQ(ChildCaptions(model, model.index(2, 0)),
              (QStringList{"Audio Bitrate", "Sample Rate", "Channels", "Remove Audio"}));
    const QModelIndex crop = model.IndexOfItem(GridItem::CropVideo);
    EXPECT_EQ(ChildCaptions(model, crop), (QStringList{"Top", "Bottom", "Left", "Right"}));
    EXPECT_EQ(model.rowCount(model.IndexOfItem(GridItem::CropVideo, 1)), 0);

    // Every index finds its way back through parent().
    std::vector<QModelIndex> pending = {QModelIndex()};
    int visited = 0;
    while (!pending.empty()) {
        const QModelIndex parent = pending.back();
        pending.pop_back();
        for (int row = 0; row < model.rowCount(parent); ++row) {
            for (int column = 0; column < model.columnCount(parent); ++column) {
                const QModelIndex child = model.index(row, column, parent);
                EXPECT_EQ(model.parent(child), parent);
                EXPECT_EQ(child.row(), row);
            }
            pending.push_back(model.index(row, 0, parent));
            ++visited;
        }
    }
    EXPECT_EQ(visited, kGridCategoryCount + kGridItemCount);
}

TEST(SettingsGridModelTest, ExposesKindChoicesDescriptionAndFlags) {
    SettingsGrid grid;
    SettingsGridModel model(&grid);
    const QModelIndex audio = model.IndexOfItem(GridItem::AudioBitrate, 1);
    EXPECT_EQ(audio.data(SettingsGridModel::DescriptionRole).toString(),
              "Set the audio bitrate in bps(Bit Per Second)");
    EXPECT_EQ(audio.data(SettingsGridModel::ChoicesRole).toStringList().size(), 15);
    EXPECT_TRUE(audio.data(SettingsGridModel::TypingAllowedRole).toBool());
    const QModelIndex channels = model.IndexOfItem(GridItem::Channels, 1);
    EXPECT_EQ(channels.data(SettingsGridModel::KindRole).toInt(),
              static_cast<int>(GridItemKind::FixedChoice));
    EXPECT_EQ(channels.data(SettingsGridModel::ChoicesRole).toStringList(),
              (QStringList{"Auto", "1", "2"}));
    EXPECT_FALSE(channels.data(SettingsGridModel::TypingAllowedRole).toBool());
    EXPECT_TRUE(model.IndexOfItem(GridItem::Extension, 1)
                    .data(SettingsGridModel::DescriptionRole)
                    .toString()
                    .isEmpty());

    EXPECT_FALSE(model.flags(model.IndexOfItem(GridItem::Extension, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(audio) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.IndexOfItem(GridItem::CropVideo, 1)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.IndexOfItem(GridItem::CropTop, 1)) & Qt::ItemIsEditable);
}

// Translated, the grid shows "Auto" in the user's language and still stores "Auto".
TEST(SettingsGridModelTest, TranslatedAutoIsStoredAsAuto) {
    class German : public QTranslator {
      public:
        bool isEmpty() const override { return false; }
        QString translate(const char* context, const char* source, const char*,
                          int) const override {
            return QByteArray(context) == "ostrel::SettingsGrid" && QByteArray(source) == "Auto"
                       ? QStringLiteral("Automatisch")
                       : QString();
        }
    } german;
    int argc = 1;
    char name[] = "settings_grid_test";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::installTranslator(&german);
    SettingsGrid grid;
    SettingsGridModel model(&grid);
    const QModelIndex channels = model.IndexOfItem(GridItem::Channels, 1);
    EXPECT_EQ(channels.data(SettingsGridModel::ChoicesRole).toStringList(),
              (QStringList{"Automatisch", "1", "2"}));
    EXPECT_EQ(channels.data().toString(), "Automatisch");
    const QModelIndex rate = model.IndexOfItem(GridItem::SampleRate, 1);
    const struct {
        const char* typed;
        const char* stored;
    } cases[] = {{"44100", "44100"}, {"Automatisch", "Auto"}, {"Auto", "Auto"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(model.setData(rate, QString::fromUtf8(c.typed))) << c.typed;
        EXPECT_EQ(grid.Settings().SampleRate, c.stored) << c.typed;
    }
    QCoreApplication::removeTranslator(&german);
}

TEST(SettingsGridModelTest, EditsGoThroughTheUserHandlingAndNotifyTheView) {
    SettingsGrid grid;
    SettingsGridModel model(&grid);
    std::vector<QModelIndex> changedRows;
    QObject::connect(
        &model, &QAbstractItemModel::dataChanged, &model,
        [&changedRows](const QModelIndex& topLeft) { changedRows.push_back(topLeft); });

    const QModelIndex crop = model.IndexOfItem(GridItem::CropVideo, 1);
    ASSERT_TRUE(model.setData(crop, Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(crop.data(Qt::CheckStateRole).toInt(), Qt::Checked);
    const QModelIndex top = model.IndexOfItem(GridItem::CropTop, 1);
    EXPECT_TRUE(model.flags(top) & Qt::ItemIsEditable);
    ASSERT_TRUE(model.setData(top, QStringLiteral(" -20 ")));
    EXPECT_EQ(top.data().toString(), "20");
    EXPECT_EQ(grid.Settings().CropTop, "20");

    changedRows.clear();
    ASSERT_TRUE(model.setData(model.IndexOfItem(GridItem::RemoveAudio, 1), Qt::Checked,
                              Qt::CheckStateRole));
    const QModelIndex sampleRate = model.IndexOfItem(GridItem::SampleRate, 0);
    EXPECT_TRUE(sampleRate.data(SettingsGridModel::HiddenRole).toBool());
    EXPECT_NE(std::find(changedRows.begin(), changedRows.end(), sampleRate), changedRows.end());

    changedRows.clear();
    grid.SetCategoryHidden(GridCategory::VideoSettings, true);
    const QModelIndex video = model.IndexOfCategory(GridCategory::VideoSettings);
    EXPECT_TRUE(video.data(SettingsGridModel::HiddenRole).toBool());
    EXPECT_NE(std::find(changedRows.begin(), changedRows.end(), video), changedRows.end());
    EXPECT_FALSE(model.setData(model.IndexOfItem(GridItem::Rotate, 1), QStringLiteral("90")));
}

}  // namespace
}  // namespace ostrel

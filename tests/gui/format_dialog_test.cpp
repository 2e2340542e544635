// The format dialog's settings grid and size boxes driven through real key, mouse and focus
// events.
#include "app/format_dialog.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>
#include "app/conversion_ui.h"
#include "app/settings_grid_view.h"
#include "app/window_placement.h"
#include "fake_encoder.h"
#include "format_dialog_fixture.h"
#include "profiles/settings_grid_model.h"
#include "pseudo_translation.h"
#include "shown_text.h"

using namespace ostrel;
using namespace ostrel::testing;

class FormatDialogTest : public FormatDialogFixture {
    Q_OBJECT

  private slots:
    void init() { SetUp(); }
    void cleanup() { dialog_.reset(); }
    void loadState();
    void sizeSelectionRule();
    void sizeBoxesKeysAndLeaveRule_data();
    void sizeBoxesKeysAndLeaveRule();
    void qualityLevelsClearExplicitValues();
    void gridEditsThroughTheView_data();
    void gridEditsThroughTheView();
    void cropMarginsAndRemoveAudio();
    void descriptionFollowsTheCurrentItem();
    void descriptionNeverDescribesAHiddenItem_data();
    void descriptionNeverDescribesAHiddenItem();
};

void FormatDialogTest::loadState() {
    FormVideoFormat* d = dialog_.get();
    QCOMPARE(d->windowTitle(), QStringLiteral("Output Settings"));
    QCOMPARE(Items(Child<QComboBox>(d, "ComboFormat")),
             QStringList{QStringLiteral("MP4 - H264 Video (*.mp4)")});
    auto* size = Child<QComboBox>(d, "ComboSize");
    QCOMPARE(size->count(), 16);
    QCOMPARE(size->currentText(), QStringLiteral("Auto"));
    for (const char* name : {"TextW", "TextH"}) {
        QVERIFY(Child<QLineEdit>(d, name)->text().isEmpty());
        QVERIFY(!Child<QLineEdit>(d, name)->isEnabled());
    }
    QCOMPARE(Child<QComboBox>(d, "ComboVideoQ")->currentText(), QStringLiteral("Normal"));
    QCOMPARE(Child<QComboBox>(d, "ComboAudioQ")->currentText(), QStringLiteral("Normal"));
    QCOMPARE(Items(Child<QComboBox>(d, "ComboVideoQ")),
             (QStringList{"High (larger file size)", "Normal", "Low (smaller file size)"}));
    auto* cpu = Child<QComboBox>(d, "ComboCPU");
    QCOMPARE(Items(cpu), (QStringList{"1", "2", "3", "4"}));
    QCOMPARE(cpu->currentText(), QStringLiteral("4"));
    QCOMPARE(Child<QLineEdit>(d, "TextFolder")->text(), QStringLiteral("/tmp"));
    QCOMPARE(Shown(Child<QPushButton>(d, "BtnMore")->text()), QStringLiteral("More >>"));
    QVERIFY(!d->Grid()->isVisible());
    QCOMPARE(d->frameGeometry().width(), 487);

    // A machine whose processor count is unknown offers one core.
    FormVideoFormat single(QString(), 0);
    QCOMPARE(Items(Child<QComboBox>(&single, "ComboCPU")), QStringList{"1"});
}

void FormatDialogTest::sizeSelectionRule() {
    auto* size = Child<QComboBox>(dialog_.get(), "ComboSize");
    auto* width = Child<QLineEdit>(dialog_.get(), "TextW");
    auto* height = Child<QLineEdit>(dialog_.get(), "TextH");

    SelectByKeys(size, 13);
    QCOMPARE(size->currentText(), QStringLiteral("1280 x 720"));
    QCOMPARE(width->text(), QStringLiteral("1280"));
    QCOMPARE(height->text(), QStringLiteral("720"));
    QVERIFY(!width->isEnabled());
    QVERIFY(!height->isEnabled());

    SelectByKeys(size, 15);  // "Custom..." keeps the numbers and moves into the width box
    QCOMPARE(size->currentText(), QStringLiteral("Custom..."));
    QCOMPARE(width->text(), QStringLiteral("1280"));
    QCOMPARE(height->text(), QStringLiteral("720"));
    QVERIFY(width->isEnabled());
    QVERIFY(height->isEnabled());
    QCOMPARE(QApplication::focusWidget(), width);

    SelectByKeys(size, 1);
    QCOMPARE(width->text(), QStringLiteral("128"));
    QCOMPARE(height->text(), QStringLiteral("96"));

    SelectByKeys(size, 0);
    QVERIFY(width->text().isEmpty());
    QVERIFY(height->text().isEmpty());
    QVERIFY(!width->isEnabled());
    QCOMPARE(dialog_->Model().Settings().SizeIndex, 0);
}

void FormatDialogTest::sizeBoxesKeysAndLeaveRule_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("backspace");
    QTest::addColumn<QString>("shownBeforeLeaving");
    QTest::addColumn<QString>("afterLeaving");
    QTest::newRow("empty") << "TextW"
                           << "" << false << ""
                           << "16";
    QTest::newRow("zero") << "TextW"
                          << "0" << false << "0"
                          << "16";
    QTest::newRow("too small") << "TextW"
                               << "15" << false << "15"
                               << "16";
    QTest::newRow("odd") << "TextW"
                         << "721" << false << "721"
                         << "722";
    QTest::newRow("odd to round") << "TextW"
                                  << "999" << false << "999"
                                  << "1000";
    QTest::newRow("too large") << "TextW"
                               << "5001" << false << "5001"
                               << "5000";
    QTest::newRow("letters ignored") << "TextW"
                                     << "1a2b-3 4." << false << "1234"
                                     << "1234";
    QTest::newRow("only letters") << "TextH"
                                  << "wide" << false << ""
                                  << "16";
    QTest::newRow("backspace") << "TextH"
                               << "1234" << true << "123"
                               << "124";
}

void FormatDialogTest::sizeBoxesKeysAndLeaveRule() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(bool, backspace);
    QFETCH(QString, shownBeforeLeaving);
    QFETCH(QString, afterLeaving);

    SelectByKeys(Child<QComboBox>(dialog_.get(), "ComboSize"), 15);
    auto* edit = Child<QLineEdit>(dialog_.get(), box.toLatin1().constData());
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, typed);
    if (backspace) {
        QTest::keyClick(edit, Qt::Key_Backspace);
    }
    QCOMPARE(edit->text(), shownBeforeLeaving);
    QTest::keyClick(edit, Qt::Key_Tab);  // leaving the box runs the rule
    QVERIFY(QApplication::focusWidget() != edit);
    QCOMPARE(edit->text(), afterLeaving);
    const OutputSettings& settings = dialog_->Model().Settings();
    QCOMPARE(box == QLatin1String("TextW") ? settings.Width : settings.Height, afterLeaving);
}

void FormatDialogTest::qualityLevelsClearExplicitValues() {
    EditInGrid(GridItem::VideoBitrate, QStringLiteral("2500k"));
    EditInGrid(GridItem::AudioBitrate, QStringLiteral("128k"));
    EditInGrid(GridItem::SampleRate, QStringLiteral("44100"));
    const SettingsGrid& grid = dialog_->Model().Grid();
    QCOMPARE(grid.Text(GridItem::VideoBitrate), QStringLiteral("2500k"));

    SelectByKeys(Child<QComboBox>(dialog_.get(), "ComboVideoQ"), 2);
    QCOMPARE(dialog_->Model().Settings().VideoQuality, 2);
    QCOMPARE(grid.Text(GridItem::VideoBitrate), QStringLiteral("Auto"));
    QCOMPARE(grid.Text(GridItem::AudioBitrate), QStringLiteral("128k"));
    QCOMPARE(GridModel()
                 ->IndexOfItem(GridItem::VideoBitrate, SettingsGridModel::ValueColumn)
                 .data()
                 .toString(),
             QStringLiteral("Auto"));

    SelectByKeys(Child<QComboBox>(dialog_.get(), "ComboAudioQ"), 0);
    QCOMPARE(grid.Text(GridItem::AudioBitrate), QStringLiteral("Auto"));
    QCOMPARE(grid.Text(GridItem::SampleRate), QStringLiteral("Auto"));
}

void FormatDialogTest::gridEditsThroughTheView_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    const int video = static_cast<int>(GridItem::VideoBitrate);
    QTest::newRow("bitrate trimmed") << video << "  2500k "
                                     << "2500k";
    QTest::newRow("bitrate upper K") << video << "2500K"
                                     << "2500K";
    QTest::newRow("bitrate digits") << video << "48000"
                                    << "48000";
    QTest::newRow("bitrate kb") << video << "2500kb"
                                << "Auto";
    QTest::newRow("bitrate M") << video << "2.5M"
                               << "Auto";
    QTest::newRow("bitrate word") << video << "fast"
                                  << "Auto";
    QTest::newRow("bitrate cleared") << video << ""
                                     << "Auto";
    QTest::newRow("audio bitrate") << static_cast<int>(GridItem::AudioBitrate) << "auto"
                                   << "Auto";
    QTest::newRow("sample rate k") << static_cast<int>(GridItem::SampleRate) << "44.1k"
                                   << "Auto";
    QTest::newRow("sample rate") << static_cast<int>(GridItem::SampleRate) << "44100"
                                 << "44100";
    QTest::newRow("frame rate") << static_cast<int>(GridItem::FrameRate) << "29.97"
                                << "29.97";
    QTest::newRow("frame rate word") << static_cast<int>(GridItem::FrameRate) << "smooth"
                                     << "Auto";
    QTest::newRow("aspect") << static_cast<int>(GridItem::AspectRatio) << "16:9"
                            << "16:9";
    QTest::newRow("aspect slash") << static_cast<int>(GridItem::AspectRatio) << "16/9"
                                  << "Auto";
    QTest::newRow("aspect two colons") << static_cast<int>(GridItem::AspectRatio) << "16:9:1"
                                       << "Auto";
    QTest::newRow("rotate too far") << static_cast<int>(GridItem::Rotate) << "300"
                                    << "0";
    QTest::newRow("rotate too far back") << static_cast<int>(GridItem::Rotate) << "-300"
                                         << "0";
    QTest::newRow("rotate") << static_cast<int>(GridItem::Rotate) << "-90"
                            << "-90";
    QTest::newRow("rotate word") << static_cast<int>(GridItem::Rotate) << "abc"
                                 << "0";
    QTest::newRow("rotate empty") << static_cast<int>(GridItem::Rotate) << ""
                                  << "0";
}

void FormatDialogTest::gridEditsThroughTheView() {
    QFETCH(int, item);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    EditInGrid(static_cast<GridItem>(item), typed);
    QCOMPARE(dialog_->Model().Grid().Text(static_cast<GridItem>(item)), expected);
    const QModelIndex cell =
        GridModel()->IndexOfItem(static_cast<GridItem>(item), SettingsGridModel::ValueColumn);
    QCOMPARE(cell.data().toString(), expected);
}

void FormatDialogTest::cropMarginsAndRemoveAudio() {
    const SettingsGrid& grid = dialog_->Model().Grid();
    const QModelIndex top = GridModel()->IndexOfItem(GridItem::CropTop, 1);
    QVERIFY(!(top.flags() & Qt::ItemIsEditable));
    QVERIFY(top.data(SettingsGridModel::ReadOnlyRole).toBool());

    ToggleInGrid(GridItem::CropVideo);
    QVERIFY(grid.Checked(GridItem::CropVideo));
    QVERIFY(top.flags() & Qt::ItemIsEditable);
    EditInGrid(GridItem::CropTop, QStringLiteral("-20"));
    QCOMPARE(grid.Text(GridItem::CropTop), QStringLiteral("20"));
    EditInGrid(GridItem::CropLeft, QString());
    QCOMPARE(grid.Text(GridItem::CropLeft), QStringLiteral("0"));

    ToggleInGrid(GridItem::CropVideo);
    QVERIFY(!grid.Checked(GridItem::CropVideo));
    QVERIFY(!(top.flags() & Qt::ItemIsEditable));
    QCOMPARE(grid.Text(GridItem::CropTop), QStringLiteral("20"));  // kept while read-only

    // "Channels" offers its three fixed choices and nothing typed.
    const QModelIndex channels = GridModel()->IndexOfItem(GridItem::Channels, 1);
    Tree()->setFocus();
    Tree()->setCurrentIndex(channels);
    auto* combo = qobject_cast<QComboBox*>(QApplication::focusWidget());
    QVERIFY(combo != nullptr);
    QVERIFY(!combo->isEditable());
    QCOMPARE(Items(combo), (QStringList{"Auto", "1", "2"}));
    QTest::keyClick(combo, Qt::Key_End);
    QTRY_COMPARE(grid.Text(GridItem::Channels), QStringLiteral("2"));
    QCOMPARE(dialog_->Model().Settings().Channels, 2);

    const QModelIndex audioItems[] = {GridModel()->IndexOfItem(GridItem::AudioBitrate),
                                      GridModel()->IndexOfItem(GridItem::SampleRate),
                                      GridModel()->IndexOfItem(GridItem::Channels)};
    ToggleInGrid(GridItem::RemoveAudio);
    QVERIFY(grid.Checked(GridItem::RemoveAudio));
    for (const QModelIndex& index : audioItems) {
        QVERIFY(IsRowHidden(index));
    }
    QVERIFY(!IsRowHidden(GridModel()->IndexOfItem(GridItem::RemoveAudio)));
    ToggleInGrid(GridItem::RemoveAudio);
    for (const QModelIndex& index : audioItems) {
        QVERIFY(!IsRowHidden(index));
    }

    // Choosing a profile unchecks "Remove Audio" and shows the audio items again.
    ToggleInGrid(GridItem::RemoveAudio);
    QAction* iphone = FindProfileAction(dialog_->ProfileMenu(), "iPhone - H.264 Video");
    QVERIFY(iphone != nullptr);
    iphone->trigger();
    QVERIFY(!grid.Checked(GridItem::RemoveAudio));
    for (const QModelIndex& index : audioItems) {
        QVERIFY(!IsRowHidden(index));
    }
}

void FormatDialogTest::descriptionFollowsTheCurrentItem() {
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
    dialog_->Grid()->SetCurrentItem(GridItem::AudioBitrate);
    QCOMPARE(dialog_->Grid()->DescriptionText(),
             QStringLiteral("Set the audio bitrate in bps(Bit Per Second)"));
    const QModelIndex rotate = GridModel()->IndexOfItem(GridItem::Rotate);
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, Tree()->visualRect(rotate).center());
    QCOMPARE(dialog_->Grid()->DescriptionText(),
             QStringLiteral("Rotate the video xx degrees clockwise. Valid number is from -270 to "
                            "270"));
    dialog_->Grid()->SetCurrentItem(GridItem::Extension);
    QVERIFY(dialog_->Grid()->DescriptionText().isEmpty());
}

void FormatDialogTest::descriptionNeverDescribesAHiddenItem_data() {
    QTest::addColumn<GridItem>("current");
    QTest::addColumn<bool>("removeAudio");  // else: choose an audio profile
    QTest::addColumn<QString>("description");
    QTest::newRow("video item, audio profile") << GridItem::Rotate << false << QString();
    QTest::newRow("crop margin, audio profile") << GridItem::CropTop << false << QString();
    QTest::newRow("audio item, audio removed") << GridItem::SampleRate << true << QString();
    // A current item that stays in sight keeps its description.
    QTest::newRow("audio item, audio profile")
        << GridItem::Channels << false
        << QStringLiteral("Set number of audio channels. 1 - Mono, 2 - Stereo");
}

// Whatever hides the current item, the description panel does not go on describing it.
void FormatDialogTest::descriptionNeverDescribesAHiddenItem() {
    QFETCH(GridItem, current);
    QFETCH(bool, removeAudio);
    QFETCH(QString, description);
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
    dialog_->Grid()->SetCurrentItem(current);
    QVERIFY(!dialog_->Grid()->DescriptionText().isEmpty() ||
            current == GridItem::CropTop);  // the margins have no description of their own
    if (removeAudio) {
        // Checked with the mouse on its box, so the current item stays where it was.
        const QModelIndex box =
            GridModel()->IndexOfItem(GridItem::RemoveAudio, SettingsGridModel::ValueColumn);
        QVERIFY(GridModel()->setData(box, Qt::Checked, Qt::CheckStateRole));
        QVERIFY(dialog_->Model().Settings().RemoveAudio);
    } else {
        FindProfileAction(dialog_->ProfileMenu(), "MP3 - MPEG Layer-3 Audio (*.mp3)")->trigger();
    }
    const QModelIndex shown = Tree()->currentIndex();
    for (QModelIndex at = shown; at.isValid(); at = at.parent()) {
        QVERIFY(!IsRowHidden(at.siblingAtColumn(0)));
    }
    QCOMPARE(dialog_->Grid()->DescriptionText(), description);
    QCOMPARE(dialog_->Grid()->DescriptionTitle().isEmpty(), !shown.isValid());
}

QTEST_MAIN(FormatDialogTest)
#include "format_dialog_test.moc"

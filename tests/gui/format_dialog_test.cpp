// The format dialog and its settings grid driven through real key, mouse and focus events.
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
#include "app/format_dialog.h"
#include "app/settings_grid_view.h"
#include "app/window_placement.h"
#include "fake_encoder.h"
#include "profiles/settings_grid_model.h"
#include "pseudo_translation.h"
#include "shown_text.h"

using namespace ostrel;
using ostrel::testing::Lengthening;
using ostrel::testing::PseudoFaults;
using ostrel::testing::Shown;

namespace {

template <typename T>
T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return child;
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items.append(combo->itemText(i));
    }
    return items;
}

// Moves a closed drop-down list to an entry with the keyboard, as a user would: Home and End
// jump to the ends, the arrow keys step (each step selects the entry it passes).
void SelectByKeys(QComboBox* combo, int index) {
    combo->setFocus(Qt::TabFocusReason);
    if (index == combo->currentIndex()) {
        emit combo->activated(index);  // picking the shown entry again
    } else if (index == 0) {
        QTest::keyClick(combo, Qt::Key_Home);
    } else if (index == combo->count() - 1) {
        QTest::keyClick(combo, Qt::Key_End);
    }
    while (combo->currentIndex() < index) {
        QTest::keyClick(combo, Qt::Key_Down);
    }
    while (combo->currentIndex() > index) {
        QTest::keyClick(combo, Qt::Key_Up);
    }
}

QAction* FindProfileAction(QMenu* menu, const QString& caption) {
    for (QAction* action : menu->findChildren<QAction*>()) {
        if (action->text() == caption && action->data().isValid()) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

class FormatDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
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
    void profileMenuUnderTheBox();
    void audioProfileHidesVideoControls();
    void moreExpandsAndCollapses();
    void positionInsideTheScreen_data();
    void positionInsideTheScreen();
    void expandedDialogStaysOnTheScreen();
    void cancelAndCloseBoxKeepTheChoice();
    void browseWritesTheChosenFolder();
    void invalidPathStopsTheRun_data();
    void invalidPathStopsTheRun();
    void relativeDestinationBecomesAbsolute_data();
    void relativeDestinationBecomesAbsolute();
    void pseudoTranslationFits();

  private:
    QTreeView* Tree() const { return dialog_->Grid()->Tree(); }
    SettingsGridModel* GridModel() const { return dialog_->Grid()->Model(); }
    // Opens the editor of an item's value cell, types text into it and presses Return.
    void EditInGrid(GridItem item, const QString& text);
    // Toggles a check-box item with the space bar on its value cell.
    void ToggleInGrid(GridItem item);
    bool IsRowHidden(const QModelIndex& index) const {
        return Tree()->isRowHidden(index.row(), index.parent());
    }

    std::unique_ptr<FormVideoFormat> dialog_;
};

void FormatDialogTest::init() {
    dialog_ = std::make_unique<FormVideoFormat>(QStringLiteral("/tmp"), 4);
    dialog_->SetErrorMessageFunction([](QWidget*, const QString&, const QString&) {});
    dialog_->SetFolderChooser([](QWidget*) { return QString(); });
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
}

void FormatDialogTest::cleanup() {
    dialog_.reset();
}

void FormatDialogTest::EditInGrid(GridItem item, const QString& text) {
    if (!dialog_->Model().IsGridExpanded()) {
        QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
    }
    const QModelIndex index = GridModel()->IndexOfItem(item, SettingsGridModel::ValueColumn);
    Tree()->setFocus();
    Tree()->setCurrentIndex(index);  // a current value cell opens its editor
    if (QApplication::focusWidget() == Tree()) {
        Tree()->edit(index);
    }
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr && focus != Tree());
    auto* combo = qobject_cast<QComboBox*>(focus);
    if (combo == nullptr) {
        combo = qobject_cast<QComboBox*>(focus->parentWidget());
    }
    QLineEdit* line = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(focus);
    QVERIFY(line != nullptr);
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    QTest::keyClicks(line, text);
    QTest::keyClick(line, Qt::Key_Return);
    QTRY_VERIFY(QApplication::focusWidget() == Tree());
}

void FormatDialogTest::ToggleInGrid(GridItem item) {
    if (!dialog_->Model().IsGridExpanded()) {
        QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
    }
    const QModelIndex index = GridModel()->IndexOfItem(item, SettingsGridModel::ValueColumn);
    Tree()->setFocus();
    Tree()->setCurrentIndex(index);
    QTest::keyClick(Tree(), Qt::Key_Space);
}

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

void FormatDialogTest::profileMenuUnderTheBox() {
    auto* format = Child<QComboBox>(dialog_.get(), "ComboFormat");
    QMenu* menu = dialog_->ProfileMenu();
    // Three sub-menus at the top; every profile of the catalogue is an entry somewhere below.
    QCOMPARE(menu->actions().size(), 3);
    int profiles = 0;
    for (QAction* action : menu->findChildren<QAction*>()) {
        profiles += action->data().isValid() ? 1 : 0;
    }
    QCOMPARE(profiles, static_cast<int>(AllProfiles().size()));

    QTest::mouseClick(format, Qt::LeftButton);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), format->mapToGlobal(QPoint(0, format->height())));
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(format->currentText(), QStringLiteral("MP4 - H264 Video (*.mp4)"));  // unchanged

    // A device profile's entry tells in one line what the device plays; a format's tells nothing.
    QCOMPARE(FindProfileAction(menu, "iPod - H264 Video for TV")->toolTip(),
             QStringLiteral("Plays on iPod (5th generation): H.264 Baseline 3.0, up to 640x480, "
                            "1.5 Mbit/s"));
    QCOMPARE(FindProfileAction(menu, "MP4 - H264 Video (*.mp4)")->toolTip(),
             QStringLiteral("MP4 - H264 Video (*.mp4)"));

    FindProfileAction(menu, "iPhone - H.264 Video")->trigger();
    QCOMPARE(Items(format), QStringList{"iPhone - H.264 Video"});
    QCOMPARE(Child<QLineEdit>(dialog_.get(), "TextW")->text(), QStringLiteral("480"));
    QCOMPARE(Child<QLineEdit>(dialog_.get(), "TextH")->text(), QStringLiteral("320"));
    QCOMPARE(dialog_->Model().Grid().Text(GridItem::Extension), QStringLiteral("mp4"));
}

void FormatDialogTest::audioProfileHidesVideoControls() {
    QAction* mp3 = FindProfileAction(dialog_->ProfileMenu(), "MP3 - MPEG Layer-3 Audio (*.mp3)");
    QVERIFY(mp3 != nullptr);
    mp3->trigger();
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboFormat")->currentText(),
             QStringLiteral("MP3 - MPEG Layer-3 Audio (*.mp3)"));
    QVERIFY(IsRowHidden(GridModel()->IndexOfCategory(GridCategory::VideoSettings)));
    QVERIFY(IsRowHidden(GridModel()->IndexOfItem(GridItem::RemoveAudio)));
    QVERIFY(!IsRowHidden(GridModel()->IndexOfItem(GridItem::AudioBitrate)));
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboSize")->isEnabled(),
             dialog_->Model().IsSizeEnabled());
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboVideoQ")->isEnabled(),
             dialog_->Model().IsVideoQualityEnabled());
    QVERIFY(!Child<QComboBox>(dialog_.get(), "ComboVideoQ")->isEnabled());

    FindProfileAction(dialog_->ProfileMenu(), "iPhone - H.264 Video")->trigger();
    QVERIFY(!IsRowHidden(GridModel()->IndexOfCategory(GridCategory::VideoSettings)));
    QVERIFY(!IsRowHidden(GridModel()->IndexOfItem(GridItem::RemoveAudio)));
    QVERIFY(Child<QComboBox>(dialog_.get(), "ComboVideoQ")->isEnabled());
}

void FormatDialogTest::moreExpandsAndCollapses() {
    auto* more = Child<QPushButton>(dialog_.get(), "BtnMore");
    QTest::mouseClick(more, Qt::LeftButton);
    QCOMPARE(Shown(more->text()), QStringLiteral("More <<"));
    QVERIFY(dialog_->Grid()->isVisible());
    // 818 pixels, or the screen's width on a narrower screen, with the whole grid inside.
    const int screenWidth = dialog_->screen()->availableGeometry().width();
    QCOMPARE(dialog_->frameGeometry().width(), qMin(818, screenWidth));
    QVERIFY(dialog_->Grid()->geometry().right() < dialog_->width());
    QVERIFY(dialog_->Grid()->width() > 200);
    // The grid's category rows and items are all there, in order.
    QCOMPARE(GridModel()->rowCount(), 3);
    QCOMPARE(GridModel()->index(0, 0).data().toString(), QStringLiteral("Output File"));
    QTest::mouseClick(more, Qt::LeftButton);
    QCOMPARE(Shown(more->text()), QStringLiteral("More >>"));
    QVERIFY(!dialog_->Grid()->isVisible());
    QCOMPARE(dialog_->frameGeometry().width(), 487);
}

void FormatDialogTest::positionInsideTheScreen_data() {
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QPoint>("placed");
    // In a screen area of 1024 x 768.
    QTest::newRow("inside stays") << QRect(100, 100, 400, 300) << QPoint(100, 100);
    QTest::newRow("past the right edge") << QRect(800, 100, 818, 400) << QPoint(206, 100);
    QTest::newRow("past the bottom") << QRect(100, 600, 400, 300) << QPoint(100, 468);
    QTest::newRow("left of the screen") << QRect(-50, -20, 400, 300) << QPoint(0, 0);
    QTest::newRow("wider than the screen") << QRect(300, 0, 1200, 300) << QPoint(0, 0);
}

void FormatDialogTest::positionInsideTheScreen() {
    QFETCH(QRect, frame);
    QFETCH(QPoint, placed);
    QCOMPARE(PositionInside(frame, QRect(0, 0, 1024, 768)), placed);
}

// "More" near the right edge of the screen moves the dialog left rather than past the edge.
void FormatDialogTest::expandedDialogStaysOnTheScreen() {
    const QRect area = dialog_->screen()->availableGeometry();
    dialog_->move(area.right() - dialog_->frameGeometry().width() - 10, area.top() + 40);
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
    QVERIFY(dialog_->Model().IsGridExpanded());
    const QRect frame = dialog_->frameGeometry();
    QVERIFY(frame.width() > 487);
    QVERIFY(frame.left() >= area.left());
    if (frame.width() <= area.width()) {
        QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                      .arg(frame.x())
                                                      .arg(frame.y())
                                                      .arg(frame.width())
                                                      .arg(frame.height())));
    }
    QCOMPARE(frame.top(), area.top() + 40);
}

void FormatDialogTest::cancelAndCloseBoxKeepTheChoice() {
    FindProfileAction(dialog_->ProfileMenu(), "iPhone - H.264 Video")->trigger();
    SelectByKeys(Child<QComboBox>(dialog_.get(), "ComboVideoQ"), 0);
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnCancel"), Qt::LeftButton);
    QVERIFY(!dialog_->isVisible());
    dialog_->show();
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboFormat")->currentText(),
             QStringLiteral("iPhone - H.264 Video"));
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboVideoQ")->currentIndex(), 0);

    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
    dialog_->close();  // the close box
    QVERIFY(!dialog_->isVisible());
    dialog_->show();
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboFormat")->currentText(),
             QStringLiteral("iPhone - H.264 Video"));
    QCOMPARE(Shown(Child<QPushButton>(dialog_.get(), "BtnMore")->text()),
             QStringLiteral("More <<"));
}

void FormatDialogTest::browseWritesTheChosenFolder() {
    QString answer = QStringLiteral("/srv/videos out");
    int asked = 0;
    dialog_->SetFolderChooser([&](QWidget* owner) {
        ++asked;
        return owner == dialog_.get() ? answer : QString();
    });
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnBrowse"), Qt::LeftButton);
    QCOMPARE(Child<QLineEdit>(dialog_.get(), "TextFolder")->text(), answer);
    answer.clear();  // cancelled: the folder stays
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnBrowse"), Qt::LeftButton);
    QCOMPARE(asked, 2);
    QCOMPARE(dialog_->Model().Settings().DestinationFolder, QStringLiteral("/srv/videos out"));
}

void FormatDialogTest::invalidPathStopsTheRun_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("missing") << false;
    QTest::newRow("read-only") << true;
}

void FormatDialogTest::invalidPathStopsTheRun() {
    QFETCH(bool, readOnly);
    dialog_.reset();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString folder = dir.path() + QStringLiteral("/missing");
    if (readOnly) {
        folder = dir.path();
        QVERIFY(QFile::setPermissions(
            folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup));
    }

    QWidget mainWindow;
    testing::FakeEncoder encoder;
    QString outputFolder = folder;
    ConversionUi ui(&mainWindow, encoder, outputFolder);
    FileRow row;
    row.FileName = dir.path() + QStringLiteral("/in.avi");
    ui.Convert({row});
    auto* dialog = mainWindow.findChild<FormVideoFormat*>();
    QVERIFY(dialog != nullptr);
    QStringList messages;
    int chooserOpened = 0;
    dialog->SetErrorMessageFunction([&](QWidget*, const QString& caption, const QString& text) {
        messages << caption + QLatin1Char('|') + text;
    });
    dialog->SetFolderChooser([&](QWidget*) {
        ++chooserOpened;
        return QString();
    });

    QTest::mouseClick(Child<QPushButton>(dialog, "BtnOK"), Qt::LeftButton);
    QCOMPARE(messages, QStringList{"Error|Invalid path!"});
    QCOMPARE(chooserOpened, 1);
    QVERIFY(dialog->isVisible());
    QCOMPARE(Child<QLineEdit>(dialog, "TextFolder")->text(), folder + QLatin1Char('/'));
    QVERIFY(encoder.calls.empty());
    QCOMPARE(outputFolder, folder);
    QVERIFY(mainWindow.findChild<QDialog*>(QStringLiteral("FormConverting")) == nullptr);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void FormatDialogTest::relativeDestinationBecomesAbsolute_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("inHome");  // the folder it names, inside the home folder
    QTest::newRow("relative") << "out"
                              << "out";
    QTest::newRow("relative with blanks") << "  out  "
                                          << "out";
    QTest::newRow("tilde") << "~/Videos"
                           << "Videos";
    QTest::newRow("a real name ending in a blank") << "out "
                                                   << "out ";
}

// A relative destination is taken in the home folder, not in the folder the program was
// started from, and everything after OK sees it absolute: the box, the rows and the folder
// that is stored.
void FormatDialogTest::relativeDestinationBecomesAbsolute() {
    QFETCH(QString, typed);
    QFETCH(QString, inHome);
    dialog_.reset();
    QTemporaryDir home;
    QTemporaryDir elsewhere;
    QVERIFY(home.isValid() && elsewhere.isValid());
    for (const char* name : {"out", "Videos", "out "}) {
        QVERIFY(QDir(home.path()).mkdir(QString::fromLatin1(name)));
        QVERIFY(QDir(elsewhere.path()).mkdir(QString::fromLatin1(name)));
    }
    const QByteArray savedHome = qgetenv("HOME");
    const QString savedCurrent = QDir::currentPath();
    qputenv("HOME", QFile::encodeName(home.path()));
    QDir::setCurrent(elsewhere.path());
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", savedHome);
        QDir::setCurrent(savedCurrent);
    });

    QWidget mainWindow;
    testing::FakeEncoder encoder;
    QString outputFolder = QStringLiteral("/tmp/");
    ConversionUi ui(&mainWindow, encoder, outputFolder);
    FileRow row;
    row.FileName = elsewhere.path() + QStringLiteral("/in.avi");
    ui.Convert({row});
    auto* dialog = mainWindow.findChild<FormVideoFormat*>();
    QVERIFY(dialog != nullptr);
    QStringList messages;
    dialog->SetErrorMessageFunction(
        [&](QWidget*, const QString&, const QString& text) { messages << text; });
    dialog->SetFolderChooser([](QWidget*) { return QString(); });
    auto* box = Child<QLineEdit>(dialog, "TextFolder");
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, typed);
    QTest::mouseClick(Child<QPushButton>(dialog, "BtnOK"), Qt::LeftButton);

    const QString expected = home.path() + QLatin1Char('/') + inHome + QLatin1Char('/');
    QCOMPARE(messages, QStringList());
    QCOMPARE(outputFolder, expected);
    QCOMPARE(box->text(), expected);
    auto* progress = mainWindow.findChild<QDialog*>(QStringLiteral("FormConverting"));
    QVERIFY(progress != nullptr);
    auto* rows = progress->findChild<QTreeView*>(QStringLiteral("ListView1"));
    QCOMPARE(rows->model()->index(0, 0).data().toString(), expected + QStringLiteral("in.mp4"));
    progress->close();
}

QTEST_MAIN(FormatDialogTest)
// Every caption, list entry and grid text is translated and has its room, also where the
// English layout places a caption at a fixed position before its control.
void FormatDialogTest::pseudoTranslationFits() {
    Lengthening lengthening;
    QCoreApplication::installTranslator(&lengthening);
    const auto removal =
        qScopeGuard([&lengthening] { QCoreApplication::removeTranslator(&lengthening); });
    init();
    FormVideoFormat* d = dialog_.get();
    QTest::mouseClick(Child<QPushButton>(d, "BtnMore"), Qt::LeftButton);
    PseudoFaults pseudo;
    for (const QLabel* label : d->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty() || label->wordWrap()) {
            continue;
        }
        // The caption's text ends before any control beside it.
        int room = label->contentsRect().width();
        for (const QWidget* other :
             label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect g = other->geometry();
            if (other != label && other->isVisible() && g.left() > label->x() &&
                g.top() < label->geometry().bottom() && g.bottom() > label->y()) {
                room = qMin(room, g.left() - label->x());
            }
        }
        pseudo.Check(label->text(), room, label->fontMetrics());
    }
    for (const QPushButton* button : d->findChildren<QPushButton*>()) {
        pseudo.Check(button->text(), button->width() - 8, button->fontMetrics());
    }
    for (const char* name : {"ComboSize", "ComboVideoQ", "ComboAudioQ"}) {
        auto* combo = Child<QComboBox>(d, name);
        pseudo.Check(combo->itemText(0), combo->width() - 24, combo->fontMetrics());
    }
    for (int category = 0; category < GridModel()->rowCount(); ++category) {
        const QModelIndex parent = GridModel()->index(category, SettingsGridModel::CaptionColumn);
        pseudo.Check(parent.data().toString(), Tree()->visualRect(parent).width(),
                     Tree()->fontMetrics());
        for (int row = 0; row < GridModel()->rowCount(parent); ++row) {
            const QModelIndex caption =
                GridModel()->index(row, SettingsGridModel::CaptionColumn, parent);
            if (!IsRowHidden(caption)) {
                pseudo.Check(caption.data().toString(), Tree()->visualRect(caption).width(),
                             Tree()->fontMetrics());
            }
        }
    }
    QVERIFY2(pseudo.faults.isEmpty(), qPrintable(pseudo.faults.join(u'\n')));
}

#include "format_dialog_test.moc"

// The slider widget driven through real key and mouse events, and its painted pixels.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "../unit/slider_event_log.h"
#include "widgets/slider/na_slider.h"
#include "widgets/slider/slider_skins.h"

using namespace ostrel;

namespace {

using Log = SliderEventLog<NaSlider>;

// True when every opaque pixel of the image appears unchanged at (left, 0) in the shot.
bool ShowsAt(const QImage& shot, const QImage& image, int left) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 255 && shot.pixel(left + x, y) != pixel) {
                return false;
            }
        }
    }
    return true;
}

// The pixel columns where the thumb image shows, left to right.
QList<int> ThumbColumns(const QImage& shot, const QImage& thumb) {
    QList<int> columns;
    for (int left = 0; left + thumb.width() <= shot.width(); ++left) {
        if (ShowsAt(shot, thumb, left)) {
            columns << left;
        }
    }
    return columns;
}

}  // namespace

class SliderTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void resizeSetsTheGeometry();
    void clickEventOrder();
    void middleButtonDrag();
    void secondaryButtonMoveIsIgnored();
    void doubleClick();
    void keys_data();
    void keys();
    void tabAndClickGiveFocus();
    void thumbPosition_data();
    void thumbPosition();
    void fillAndTicks();
    void surfaceProperties();
    void designBag();
    void hostWritesInsideHandlers();

  private:
    // Shows a slider at a pixel size in a window of its own and waits until it is on screen.
    NaSlider* Show(SliderSkin skin, QSize size);
    QImage Shot() { return slider_->grab().toImage(); }

    std::unique_ptr<QWidget> window_;
    NaSlider* slider_ = nullptr;
    QLineEdit* edit_ = nullptr;
};

void SliderTest::init() {
    window_ = std::make_unique<QWidget>();
    edit_ = new QLineEdit(window_.get());
}

void SliderTest::cleanup() {
    window_.reset();
    slider_ = nullptr;
}

NaSlider* SliderTest::Show(SliderSkin skin, QSize size) {
    slider_ = new NaSlider(skin, window_.get());
    slider_->setFixedSize(size);
    auto* layout = new QVBoxLayout(window_.get());
    layout->addWidget(edit_);
    layout->addWidget(slider_);
    window_->show();
    window_->activateWindow();
    if (!QTest::qWaitForWindowActive(window_.get())) {
        qFatal("window not active");
    }
    slider_->setFocus();
    QTest::qWait(20);  // let the first paints go by
    return slider_;
}

void SliderTest::resizeSetsTheGeometry() {
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 12});
    QCOMPARE(slider->Model().TrackLength(), 3285);
    QCOMPARE(slider->Model().ThumbHalfWidth(), 120);
    Log log(*slider);
    slider->setFixedSize(72, 13);
    QCOMPARE(log.Take().first(), QStringLiteral("Resize v=0"));
    QCOMPARE(slider->Model().TrackLength(), 840);
}

// The release is handled first; the click then sets Value again from the release x.
void SliderTest::clickEventOrder() {
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 12});
    slider->SetShowTicks(false);
    Log log(*slider);
    QTest::mouseClick(slider, Qt::LeftButton, Qt::ShiftModifier, QPoint(117, 6));
    // x = 117 px = 1755 twips: 1000 / 3285 × (1755 − 120) = 497.7
    QCOMPARE(log.Take(), (QStringList{
                             "MouseDown 1 1 1755,90 v=0",
                             "MouseUp 1 1 1755,90 v=0",
                             "Paint",
                             "Paint",
                             "Click v=498",
                         }));
    QCOMPARE(slider->Model().LastUpX(), 1755);
    QVERIFY(!slider->Model().Dragging());
}

// A drag follows the pointer whichever button other than exactly the secondary one is held;
// only a primary release records an x for the click, and only a primary click sets Value.
void SliderTest::middleButtonDrag() {
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 12});
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(30, 6));  // LastUpX 450
    const int clicked = slider->Value();
    QCOMPARE(clicked, 100);
    Log log(*slider);
    QTest::mousePress(slider, Qt::MiddleButton, {}, QPoint(60, 6));
    QVERIFY(slider->Model().Dragging());
    QTest::mouseMove(slider, QPoint(170, 6));
    QTest::mouseRelease(slider, Qt::MiddleButton, {}, QPoint(170, 6));
    QCOMPARE(log.Take(), (QStringList{
                             "MouseDown 4 0 900,90 v=100",
                             "Paint",
                             "Paint",
                             "MouseMove 4 0 2550,90 v=740",
                             "MouseUp 4 0 2550,90 v=740",
                         }));
    QCOMPARE(slider->Model().LastUpX(), 450);
    QCOMPARE(slider->Value(), 740);
}

void SliderTest::secondaryButtonMoveIsIgnored() {
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 12});
    slider->SetValue(300);
    Log log(*slider);
    QTest::mousePress(slider, Qt::RightButton, {}, QPoint(200, 6));
    QTest::mouseMove(slider, QPoint(20, 6));
    QCOMPARE(slider->Value(), 300);
    QTest::mouseRelease(slider, Qt::RightButton, {}, QPoint(20, 6));
    QCOMPARE(log.Take(), (QStringList{"MouseDown 2 0 3000,90 v=300", "MouseUp 2 0 300,90 v=300"}));
    QVERIFY(!slider->Model().Dragging());
    // With no button held, moves raise their event but set nothing.
    QTest::mouseMove(slider, QPoint(100, 6));
    QCOMPARE(log.Take(), QStringList{"MouseMove 0 0 1500,90 v=300"});
}

void SliderTest::doubleClick() {
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 12});
    Log log(*slider);
    // Through the window, as the platform delivers it: press, release, press, release, with
    // the second press recognised as a double click.
    QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {},
                       slider->mapTo(window_.get(), QPoint(117, 6)));
    QStringList events = log.Take();
    events.removeIf(
        [](const QString& line) { return line.startsWith(QLatin1String("MouseMove")); });
    QCOMPARE(events, (QStringList{
                         "MouseDown 1 0 1755,90 v=0", "MouseUp 1 0 1755,90 v=0", "Paint", "Paint",
                         "Click v=498",
                         "DblClick v=498",             // the second press is only the double click
                         "MouseUp 1 0 1755,90 v=498",  // and its release no click
                     }));
    QVERIFY(!slider->Model().Dragging());
}

void SliderTest::keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("small");
    QTest::addColumn<int>("large");
    QTest::addColumn<QStringList>("events");
    const int none = Qt::NoModifier;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << none << 1 << 10
                               << QStringList{"Paint", "Paint", "KeyDown 34 0 v=510",
                                              "KeyUp 34 0 v=510"};
    QTest::newRow("page up") << int(Qt::Key_PageUp) << none << 1 << 10
                             << QStringList{"Paint", "Paint", "KeyDown 33 0 v=490",
                                            "KeyUp 33 0 v=490"};
    // The Shift key is a key of its own, with its bit set while it is down.
    QTest::newRow("shift right") << int(Qt::Key_Right) << int(Qt::ShiftModifier) << 1 << 10
                                 << QStringList{
                                        "Paint",           "KeyDown 16 1 v=500", "Paint",
                                        "Paint",           "KeyDown 39 1 v=501", "KeyUp 39 1 v=501",
                                        "KeyUp 16 0 v=501"};
    QTest::newRow("left, no step")
        << int(Qt::Key_Left) << none << 0 << 0
        << QStringList{"Paint", "Paint", "KeyDown 37 0 v=500", "KeyUp 37 0 v=500"};
    QTest::newRow("home") << int(Qt::Key_Home) << none << 1 << 10
                          << QStringList{"Paint", "KeyDown 36 0 v=500", "KeyUp 36 0 v=500"};
    QTest::newRow("down") << int(Qt::Key_Down) << none << 1 << 10
                          << QStringList{"Paint", "KeyDown 40 0 v=500", "KeyUp 40 0 v=500"};
    QTest::newRow("letter") << int(Qt::Key_A) << none << 1 << 10
                            << QStringList{"Paint", "KeyDown 65 0 v=500", "KeyPress 97",
                                           "KeyUp 65 0 v=500"};
}

void SliderTest::keys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, small);
    QFETCH(int, large);
    QFETCH(QStringList, events);
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 12});
    slider->SetValue(500);
    slider->SetSmallChange(small);
    slider->SetLargeChange(large);
    Log log(*slider);
    QTest::keyClick(slider, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(log.Take(), events);
}

void SliderTest::tabAndClickGiveFocus() {
    NaSlider* slider = Show(SliderSkin::VolumeSkin, {72, 13});
    edit_->setFocus();
    QTest::keyClick(edit_, Qt::Key_Tab);
    QVERIFY(slider->hasFocus());
    QTest::keyClick(slider, Qt::Key_Left);
    QCOMPARE(slider->Value(), 0);
    edit_->setFocus();
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(36, 6));
    QVERIFY(slider->hasFocus());
    QCOMPARE(slider->Value(), 500);  // 540 twips is the middle of a 72-pixel track
}

void SliderTest::thumbPosition_data() {
    QTest::addColumn<int>("skin");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("column");
    const int seek = int(SliderSkin::SeekSkin);
    const int volume = int(SliderSkin::VolumeSkin);
    QTest::newRow("seek at max") << seek << QSize(235, 12) << 1000 << 1000 << true << 219;
    QTest::newRow("seek at 0") << seek << QSize(235, 12) << 1000 << 0 << true << 0;
    QTest::newRow("seek middle") << seek << QSize(235, 12) << 1000 << 500 << true << 109;
    QTest::newRow("seek disabled") << seek << QSize(235, 12) << 1000 << 1000 << false << 219;
    QTest::newRow("volume at max") << volume << QSize(72, 13) << 128 << 128 << true << 60;
    QTest::newRow("volume disabled") << volume << QSize(72, 13) << 128 << 64 << false << 30;
}

void SliderTest::thumbPosition() {
    QFETCH(int, skin);
    QFETCH(QSize, size);
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(bool, enabled);
    QFETCH(int, column);
    NaSlider* slider = Show(SliderSkin(skin), size);
    slider->SetMax(max);
    slider->SetValue(value);
    slider->SetEnabled(enabled);
    const SliderSkinImages& images = SkinImages(SliderSkin(skin), 1.0);
    QImage thumb = enabled ? images.Thumb : images.DisabledThumb;
    QImage other = enabled ? images.DisabledThumb : images.Thumb;
    // The shot is cut at the surface's bottom edge, and so is the thumb.
    thumb = thumb.copy(0, 0, thumb.width(), std::min(thumb.height(), size.height()));
    other = other.copy(0, 0, other.width(), std::min(other.height(), size.height()));
    const QImage shot = Shot();
    QCOMPARE(ThumbColumns(shot, thumb), QList<int>{column});
    QCOMPARE(ThumbColumns(shot, other), QList<int>{});
}

void SliderTest::fillAndTicks() {
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 20});
    slider->SetValue(500);
    slider->SetSelLength(500);  // 1642.5 twips: 110 pixels
    const SliderSkinImages& images = SkinImages(SliderSkin::SeekSkin, 1.0);
    QImage shot = Shot();
    const QRgb fill = images.Fill.pixel(8, 5);
    const QRgb groove = images.Strip.pixel(200, 5);
    QCOMPARE(shot.pixel(3, 5), fill);
    QCOMPARE(shot.pixel(100, 5), fill);
    QCOMPARE(shot.pixel(130, 5), groove);
    QCOMPARE(shot.pixel(230, 5), groove);
    // Eleven marks from the thumb's centre at 120 twips, 328 twips apart, 100 twips tall.
    const QRgb tick = qRgb(120, 120, 120);
    QList<int> columns;
    for (int x = 0; x < shot.width(); ++x) {
        if (shot.pixel(x, 19) == tick) {
            columns << x;
        }
    }
    QCOMPARE(columns, (QList<int>{8, 30, 52, 74, 95, 117, 139, 161, 183, 205, 227}));
    QCOMPARE(shot.pixel(8, 13), tick);
    QVERIFY(shot.pixel(8, 12) != tick);

    // More than Max − SelStart selected: no fill at all.
    slider->SetSelStart(600);
    shot = Shot();
    QCOMPARE(shot.pixel(3, 5), images.Strip.pixel(3, 5));
    QCOMPARE(shot.pixel(100, 5), groove);
    slider->SetShowTicks(false);
    slider->Refresh();
    QVERIFY(Shot().pixel(8, 19) != tick);
}

void SliderTest::surfaceProperties() {
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 12});
    QCOMPARE(slider->BackColor(), kSystemButtonFace);
    QCOMPARE(Shot().pixelColor(0, 0), slider->palette().color(QPalette::Button));
    slider->SetBackColor(0x0000FF);  // blue-green-red: pure red
    QCOMPARE(Shot().pixelColor(0, 0), QColor(255, 0, 0));
    slider->SetBackColor(0xF2DED5);
    QCOMPARE(Shot().pixelColor(0, 0), QColor(213, 222, 242));

    // A single-line border takes a pixel from each side of the surface.
    Log log(*slider);
    slider->SetBorderStyle(1);
    QCOMPARE(log.Take().first(), QStringLiteral("Resize v=0"));
    QCOMPARE(slider->Model().TrackLength(), 233 * 15 - 240);
    slider->SetValue(1000);
    const QImage shot = Shot();
    QCOMPARE(shot.pixelColor(0, 0), slider->palette().color(QPalette::WindowText));
    QCOMPARE(ThumbColumns(shot.copy(1, 1, 233, 10),
                          SkinImages(SliderSkin::SeekSkin, 1.0).Thumb.copy(0, 0, 16, 10)),
             QList<int>{217});

    QCOMPARE(slider->Enabled(), true);
    window_->setEnabled(false);  // a disabled container shows the disabled thumb too
    QCOMPARE(slider->Enabled(), true);
    QVERIFY(!slider->isEnabled());
}

void SliderTest::designBag() {
    NaSlider* slider = Show(SliderSkin::VolumeSkin, {72, 13});
    Log log(*slider);
    QStringList marked;
    connect(&slider->Model(), &SliderModel::PropertyChanged, this,
            [&marked](const QString& name) { marked << name; });
    slider->ReadProperties({{"Max", 128},
                            {"VALUE", 200},
                            {"showticks", false},
                            {"_extentx", 1905},
                            {"_extenty", 344}});
    QCOMPARE(slider->Value(), 200);  // taken as stored, above Max
    QCOMPARE(slider->BackColor(), kSliderRestoredBackColor);
    QCOMPARE(slider->size(), QSize(72, 13));
    QCOMPARE(slider->Font(), window_->font());
    QVERIFY(marked.isEmpty());
    QVERIFY(!log.Take().contains(QStringLiteral("Paint")));

    const QVariantMap bag = slider->WriteProperties();
    QCOMPARE(bag.value("backcolor").toUInt(), 0xF2DED5u);
    QCOMPARE(bag.value("value").toInt(), 200);
    QCOMPARE(bag.value("_extentx").toInt(), 1905);
    QVERIFY(bag.contains("font"));
    QVERIFY(!bag.contains("min"));

    slider->SetSmallChange(0);
    slider->SetForeColor(0xFF);
    QCOMPARE(marked, (QStringList{"SmallChange", "ForeColor"}));
}

// The host runs inside the slider's handlers and may write its properties there.
void SliderTest::hostWritesInsideHandlers() {
    NaSlider* slider = Show(SliderSkin::SeekSkin, {235, 12});
    connect(slider, &NaSlider::Click, this, [slider] { slider->SetSelLength(slider->Value()); });
    int paints = 0;
    connect(slider, &NaSlider::Paint, this, [slider, &paints] {
        if (++paints == 1) {
            slider->SetValue(slider->Value());  // a write from inside a paint
        }
    });
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(117, 6));
    QCOMPARE(slider->SelLength(), 498);
    QTest::qWait(50);
    QVERIFY(paints >= 4);
}

QTEST_MAIN(SliderTest)
#include "slider_test.moc"

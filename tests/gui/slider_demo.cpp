// Not a test: a window showing both slider skins at a few values, enabled and disabled, with
// a magnified copy of each row, for looking at the artwork and taking screenshots.
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <vector>

#include "widgets/slider/na_slider.h"

using namespace ostrel;

namespace {

struct Row {
    const char* caption;
    SliderSkin skin;
    QSize pixels;
    std::uint32_t backColor;
    std::int32_t max;
    std::int32_t value;
    bool enabled;
    bool ticks;
};

const Row kRows[] = {
    {"Seek 0 of 1000", SliderSkin::SeekSkin, {235, 12}, 0xF0F0F0, 1000, 0, true, false},
    {"Seek 330 of 1000", SliderSkin::SeekSkin, {235, 12}, 0xF0F0F0, 1000, 330, true, false},
    {"Seek 1000 of 1000", SliderSkin::SeekSkin, {235, 12}, 0xF0F0F0, 1000, 1000, true, false},
    {"Seek 600, disabled", SliderSkin::SeekSkin, {235, 12}, 0xF0F0F0, 1000, 600, false, false},
    {"Seek 500, ticks", SliderSkin::SeekSkin, {235, 20}, 0xF0F0F0, 1000, 500, true, true},
    {"Volume 0 of 128", SliderSkin::VolumeSkin, {72, 13}, 0xF2DED5, 128, 0, true, false},
    {"Volume 64 of 128", SliderSkin::VolumeSkin, {72, 13}, 0xF2DED5, 128, 64, true, false},
    {"Volume 128 of 128", SliderSkin::VolumeSkin, {72, 13}, 0xF2DED5, 128, 128, true, false},
    {"Volume 90, disabled", SliderSkin::VolumeSkin, {72, 13}, 0xF2DED5, 128, 90, false, false},
};

constexpr int kZoom = 2;

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Sliders"));
    auto* grid = new QGridLayout(&window);
    grid->setHorizontalSpacing(16);
    std::vector<std::pair<NaSlider*, QLabel*>> zoomed;
    int line = 0;
    for (const Row& row : kRows) {
        auto* slider = new NaSlider(row.skin, &window);
        slider->SetBackColor(row.backColor);
        slider->SetShowTicks(row.ticks);
        slider->SetMax(row.max);
        slider->SetValue(row.value);
        slider->SetSelLength(row.value);
        slider->SetEnabled(row.enabled);
        slider->setFixedSize(row.pixels);
        auto* magnified = new QLabel(&window);
        grid->addWidget(new QLabel(QString::fromLatin1(row.caption), &window), line, 0);
        grid->addWidget(slider, line, 1);
        grid->addWidget(magnified, line, 2);
        zoomed.emplace_back(slider, magnified);
        // Clicks and drags keep the fill at the thumb, as the player does.
        QObject::connect(slider, &NaSlider::Click, slider,
                         [slider] { slider->SetSelLength(slider->Value()); });
        QObject::connect(slider, &NaSlider::MouseMove, slider, [slider](int, int, float, float) {
            slider->SetSelLength(slider->Value());
        });
        ++line;
    }
    // Refreshes the magnified copies after every change.
    auto refresh = [&zoomed] {
        for (auto& [slider, label] : zoomed) {
            const QPixmap shot = slider->grab();
            label->setPixmap(
                shot.scaled(shot.size() * kZoom, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        }
    };
    QTimer timer;
    timer.setInterval(200);
    QObject::connect(&timer, &QTimer::timeout, &window, refresh);
    timer.start();
    refresh();
    window.move(0, 0);
    window.show();
    return app.exec();
}

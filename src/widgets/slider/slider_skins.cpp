#include "widgets/slider/slider_skins.h"

#include <QHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>
#include <utility>

namespace ostrel {

namespace {

// The colours and the placement of the artwork inside a skin's images, in pixels.
struct SkinLook {
    int ChannelTop;  // the track's groove: a rounded bar across the strip
    int ChannelHeight;
    QRectF Knob;  // the thumb's body inside the thumb image
    qreal KnobRadius;
};

SkinLook LookOf(SliderSkin skin) {
    switch (skin) {
        case SliderSkin::SeekSkin:
            return {3, 5, QRectF(0, 0, 16, 11), 5.5};
        case SliderSkin::VolumeSkin:
            // Kept within the top 13 rows: the player's volume slider is 13 pixels tall.
            return {4, 5, QRectF(0, 0, 12, 13), 4};
    }
    return {};
}

struct Shade {
    QColor Edge;
    QColor Top;
    QColor Bottom;
};

const Shade kGroove{QColor(0x7b, 0x85, 0x93), QColor(0xa9, 0xb2, 0xbe), QColor(0xe2, 0xe6, 0xeb)};
const Shade kFill{QColor(0x17, 0x56, 0xb4), QColor(0x6d, 0xb8, 0xff), QColor(0x21, 0x72, 0xdc)};
const Shade kKnob{QColor(0x2a, 0x63, 0xb8), QColor(0xff, 0xff, 0xff), QColor(0xd2, 0xe1, 0xf5)};
const Shade kKnobDisabled{QColor(0xa4, 0xa4, 0xa4), QColor(0xf3, 0xf3, 0xf3),
                          QColor(0xd0, 0xd0, 0xd0)};
const QColor kGrip(0x2b, 0x7b, 0xe4);
const QColor kGripDisabled(0xb4, 0xb4, 0xb4);

QImage Draw(const QSize& size, qreal ratio, const std::function<void(QPainter&)>& paint) {
    QImage image(qCeil(size.width() * ratio), qCeil(size.height() * ratio),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    painter.end();
    return image;
}

// A rounded bar whose outline runs along the pixel centres of its outer rows and columns.
void Bar(QPainter& painter, const QRectF& pixels, qreal radius, const Shade& shade) {
    const QRectF outline = pixels.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient gradient(outline.topLeft(), outline.bottomLeft());
    gradient.setColorAt(0, shade.Top);
    gradient.setColorAt(1, shade.Bottom);
    painter.setPen(QPen(shade.Edge, 1));
    painter.setBrush(gradient);
    painter.drawRoundedRect(outline, radius, radius);
}

// A groove-shaped bar drawn pixel by pixel: a one-pixel edge, a vertical gradient inside and
// the four corner pixels left out, so the ends look round. Drawn without smoothing, the fill
// covers the track's groove exactly and no grey shows around its end.
void PixelBar(QPainter& painter, const QRect& bar, const Shade& shade) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.fillRect(bar.adjusted(1, 0, -1, 0), shade.Edge);
    painter.fillRect(bar.adjusted(0, 1, 0, -1), shade.Edge);
    QLinearGradient gradient(0, bar.top() + 1, 0, bar.bottom());
    gradient.setColorAt(0, shade.Top);
    gradient.setColorAt(1, shade.Bottom);
    painter.fillRect(bar.adjusted(1, 1, -1, -1), gradient);
    painter.restore();
}

QImage Strip(const SliderSkinSize& size, const SkinLook& look, qreal ratio) {
    return Draw({size.StripWidth, size.StripHeight}, ratio, [&](QPainter& painter) {
        PixelBar(painter, QRect(0, look.ChannelTop, size.StripWidth, look.ChannelHeight), kGroove);
    });
}

// The fill runs past the image's right edge, so that only its left end is rounded.
QImage Fill(const SliderSkinSize& size, const SkinLook& look, qreal ratio) {
    return Draw({size.ThumbWidth, size.ThumbHeight}, ratio, [&](QPainter& painter) {
        PixelBar(painter, QRect(0, look.ChannelTop, size.ThumbWidth + 2, look.ChannelHeight),
                 kFill);
    });
}

QImage Thumb(const SliderSkinSize& size, const SkinLook& look, qreal ratio, bool enabled) {
    return Draw({size.ThumbWidth, size.ThumbHeight}, ratio, [&](QPainter& painter) {
        Bar(painter, look.Knob, look.KnobRadius, enabled ? kKnob : kKnobDisabled);
        // A grip in the middle of the knob.
        painter.setPen(Qt::NoPen);
        painter.setBrush(enabled ? kGrip : kGripDisabled);
        const QPointF centre = look.Knob.center();
        painter.drawEllipse(centre, 2, 2);
    });
}

SliderSkinImages Build(SliderSkin skin, qreal ratio) {
    const SliderSkinSize size = SkinSize(skin);
    const SkinLook look = LookOf(skin);
    SliderSkinImages images;
    images.Strip = Strip(size, look, ratio);
    images.Thumb = Thumb(size, look, ratio, true);
    images.DisabledThumb = Thumb(size, look, ratio, false);
    images.Fill = Fill(size, look, ratio);
    images.FillFixedLeft = 2;  // the cut corner and the edge column
    return images;
}

}  // namespace

const SliderSkinImages& SkinImages(SliderSkin skin, qreal devicePixelRatio) {
    static QHash<std::pair<int, qreal>, SliderSkinImages> built;
    const std::pair<int, qreal> key(static_cast<int>(skin), devicePixelRatio);
    auto it = built.find(key);
    if (it == built.end()) {
        it = built.insert(key, Build(skin, devicePixelRatio));
    }
    return *it;
}

}  // namespace ostrel

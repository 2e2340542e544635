#include "widgets/slider/na_slider.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "common/rounding.h"
#include "widgets/slider/slider_accessible.h"
#include "widgets/slider/slider_input.h"
#include "widgets/slider/slider_skins.h"

namespace ostrel {

namespace {

QColor BgrColor(std::uint32_t color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// A colour in blue-green-red order, or a system colour by its index, as the palette shows it.
QColor SurfaceColor(std::uint32_t color, const QPalette& palette) {
    if ((color & kSystemColorFlag) == 0) {
        return BgrColor(color);
    }
    switch (color & 0xFF) {
        case 5:  // window
            return palette.color(QPalette::Base);
        case 7:  // menu text
        case 8:  // window text
            return palette.color(QPalette::WindowText);
        case 13:
            return palette.color(QPalette::Highlight);
        case 9:  // caption text
        case 14:
            return palette.color(QPalette::HighlightedText);
        case 15:  // button face
            return palette.color(QPalette::Button);
        case 16:  // button shadow
            return palette.color(QPalette::Dark);
        case 17:  // grey text
            return palette.color(QPalette::Disabled, QPalette::Text);
        case 18:
            return palette.color(QPalette::ButtonText);
        case 20:  // button highlight
            return palette.color(QPalette::Light);
        case 21:
            return palette.color(QPalette::Shadow);
        case 22:
            return palette.color(QPalette::Midlight);
        case 23:
            return palette.color(QPalette::ToolTipText);
        case 24:
            return palette.color(QPalette::ToolTipBase);
        default:
            return palette.color(QPalette::Window);
    }
}

bool IsStepKey(int keyCode) {
    return keyCode == kSliderKeyPageUp || keyCode == kSliderKeyPageDown ||
           keyCode == kSliderKeyLeft || keyCode == kSliderKeyRight;
}

// The image's own pixels for a span of device-independent pixels.
QRectF Source(const QImage& image, qreal left, qreal width) {
    const qreal ratio = image.devicePixelRatio();
    return QRectF(left * ratio, 0, width * ratio, image.height());
}

void DrawTrack(QPainter& painter, const QImage& strip, const SliderPaintPlan& plan) {
    const qreal height = strip.deviceIndependentSize().height();
    for (const TrackSlice& slice : plan.Track) {
        const int sourceLeft = TwipsToPixels(slice.SourceLeft);
        const int sourceRight = TwipsToPixels(slice.SourceLeft + slice.SourceWidth);
        const int destLeft = TwipsToPixels(slice.DestLeft);
        const int destRight = TwipsToPixels(slice.DestLeft + slice.DestWidth);
        if (sourceRight > sourceLeft && destRight > destLeft) {
            painter.drawImage(QRectF(destLeft, 0, destRight - destLeft, height), strip,
                              Source(strip, sourceLeft, sourceRight - sourceLeft));
        }
    }
}

void DrawTicks(QPainter& painter, const SliderPaintPlan& plan) {
    const QColor color = BgrColor(kSliderTickColor);
    const int top = TwipsToPixels(plan.TickTop);
    const int bottom = TwipsToPixels(plan.TickBottom);
    for (const std::int32_t x : plan.Ticks) {
        painter.fillRect(TwipsToPixels(x), top, 1, bottom - top, color);
    }
}

// The fill's left end is copied as it is and the rest stretched over the remaining width;
// what lies beyond the surface is not drawn.
void DrawFill(QPainter& painter, const SliderSkinImages& images, double widthTwips,
              int surfaceWidth) {
    const std::optional<std::int64_t> rounded = RoundHalfEven(widthTwips / kTwipsPerPixel);
    if (!rounded || *rounded <= 0) {
        return;
    }
    const QImage& fill = images.Fill;
    const QSizeF size = fill.deviceIndependentSize();
    const qreal width = static_cast<qreal>(*rounded);
    const qreal visible = std::min<qreal>(width, surfaceWidth);
    const qreal fixed = std::min<qreal>(images.FillFixedLeft, visible);
    if (fixed > 0) {
        painter.drawImage(QRectF(0, 0, fixed, size.height()), fill, Source(fill, 0, fixed));
    }
    if (visible > fixed) {
        const qreal stretched = size.width() - images.FillFixedLeft;
        const qreal shown = stretched * (visible - fixed) / (width - fixed);
        painter.drawImage(QRectF(fixed, 0, visible - fixed, size.height()), fill,
                          Source(fill, images.FillFixedLeft, shown));
    }
}

}  // namespace

NaSlider::NaSlider(SliderSkin skin, QWidget* parent) : QFrame(parent), model_(skin) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);  // moves without a button are events too
    setAttribute(Qt::WA_OpaquePaintEvent, backStyle_ != 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    connect(&model_, &SliderModel::RepaintRequested, this, &NaSlider::RepaintNow);
    connect(&model_, &SliderModel::Resize, this, &NaSlider::Resize);
    connect(&model_, &SliderModel::Click, this, &NaSlider::Click);
    connect(&model_, &SliderModel::DblClick, this, &NaSlider::DblClick);
    connect(&model_, &SliderModel::KeyDown, this, &NaSlider::KeyDown);
    connect(&model_, &SliderModel::KeyPress, this, &NaSlider::KeyPress);
    connect(&model_, &SliderModel::KeyUp, this, &NaSlider::KeyUp);
    connect(&model_, &SliderModel::MouseDown, this, &NaSlider::MouseDown);
    connect(&model_, &SliderModel::MouseMove, this, &NaSlider::MouseMove);
    connect(&model_, &SliderModel::MouseUp, this, &NaSlider::MouseUp);
    connect(&model_, &SliderModel::Paint, this, &NaSlider::Paint);
    MakeAccessible(this);
}

void NaSlider::SetBackColor(std::uint32_t color) {
    backColor_ = color;
    update();
    model_.MarkChanged(QStringLiteral("BackColor"));
}

void NaSlider::SetForeColor(std::uint32_t color) {
    foreColor_ = color;
    model_.MarkChanged(QStringLiteral("ForeColor"));
}

void NaSlider::SetEnabled(bool enabled) {
    setEnabled(enabled);
    model_.MarkChanged(QStringLiteral("Enabled"));
}

void NaSlider::SetFont(const QFont& font) {
    setFont(font);
    model_.MarkChanged(QStringLiteral("Font"));
}

void NaSlider::SetBackStyle(std::int16_t style) {
    backStyle_ = style;
    setAttribute(Qt::WA_OpaquePaintEvent, backStyle_ != 0);
    update();
    model_.MarkChanged(QStringLiteral("BackStyle"));
}

void NaSlider::SetBorderStyle(std::int16_t style) {
    ApplyBorderStyle(style);
    update();
    model_.MarkChanged(QStringLiteral("BorderStyle"));
}

void NaSlider::ApplyBorderStyle(std::int16_t style) {
    const QSize before = contentsRect().size();
    borderStyle_ = style;
    setFrameStyle(borderStyle_ != 0 ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    setLineWidth(1);
    if (contentsRect().size() != before) {
        ResizeModel();  // the border's line is taken from the surface
    }
}

SliderDesign NaSlider::Design() const {
    SliderDesign design;
    design.BackColor = backColor_;
    design.ForeColor = foreColor_;
    design.Enabled = Enabled();
    design.Font = font().toString();
    design.BackStyle = backStyle_;
    design.BorderStyle = borderStyle_;
    design.Values = model_.Values();
    design.SizeTwips = size() * kTwipsPerPixel;
    return design;
}

void NaSlider::ApplyDesign(const SliderDesign& design) {
    backColor_ = design.BackColor;
    foreColor_ = design.ForeColor;
    setEnabled(design.Enabled);
    QFont font;
    if (font.fromString(design.Font)) {
        setFont(font);
    }
    backStyle_ = design.BackStyle;
    setAttribute(Qt::WA_OpaquePaintEvent, backStyle_ != 0);
    ApplyBorderStyle(design.BorderStyle);
    model_.RestoreValues(design.Values);
    if (design.SizeTwips.isValid()) {
        resize(TwipsToPixels(design.SizeTwips.width()), TwipsToPixels(design.SizeTwips.height()));
    }
}

void NaSlider::ReadProperties(const QVariantMap& bag) {
    const QFont ambient = parentWidget() != nullptr ? parentWidget()->font() : QApplication::font();
    ApplyDesign(ReadSliderBag(bag, ambient.toString()));
}

QSize NaSlider::sizeHint() const {
    // The sizes the player gives its seek and volume sliders.
    const QSize twips = model_.Skin() == SliderSkin::SeekSkin ? QSize(3525, 180) : QSize(1080, 195);
    const int frame = 2 * frameWidth();
    return QSize(TwipsToPixels(twips.width()) + frame, TwipsToPixels(twips.height()) + frame);
}

bool NaSlider::event(QEvent* event) {
    // The stepping keys belong to the slider while it has the focus, even where a window
    // binds them as shortcuts.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsStepKey(SliderKeyCode(key->key(), key->modifiers())) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QFrame::event(event);
}

void NaSlider::RepaintNow() {
    if (paintDepth_ > 0) {
        update();  // asked from inside a paint (a Paint handler): paint again afterwards
        return;
    }
    const quint64 before = paintCount_;
    if (isVisible() && updatesEnabled()) {
        repaint();
    }
    if (paintCount_ == before) {
        // Nothing on screen to draw on yet (hidden, or not exposed): the paint's results and
        // its event still happen now, and the pixels follow when the surface is shown.
        model_.BeginPaint();
        model_.EndPaint();
        update();
    }
}

void NaSlider::paintEvent(QPaintEvent*) {
    ++paintCount_;
    ++paintDepth_;
    {
        QPainter painter(this);
        if (backStyle_ != 0) {
            painter.fillRect(rect(), SurfaceColor(backColor_, palette()));
        }
        drawFrame(&painter);
        const QRect area = contentsRect();
        painter.setClipRect(area);
        painter.translate(area.topLeft());
        const SliderSkinImages& images = SkinImages(model_.Skin(), devicePixelRatioF());
        const SliderPaintPlan plan = model_.BeginPaint();
        DrawTrack(painter, images.Strip, plan);
        DrawTicks(painter, plan);
        if (plan.FillWidth) {
            DrawFill(painter, images, *plan.FillWidth, area.width());
        }
        painter.drawImage(QPointF(TwipsToPixels(plan.ThumbLeft), 0),
                          isEnabled() ? images.Thumb : images.DisabledThumb);
    }
    model_.EndPaint();
    --paintDepth_;
}

void NaSlider::ResizeModel() {
    const QSize size = contentsRect().size();
    model_.HandleResize(PixelsToTwips(size.width()), PixelsToTwips(size.height()));
}

void NaSlider::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    ResizeModel();
}

QPointF NaSlider::Twips(const QPointF& widgetPixels) const {
    return (widgetPixels - QPointF(contentsRect().topLeft())) * kTwipsPerPixel;
}

void NaSlider::mousePressEvent(QMouseEvent* event) {
    const int button = SliderButtonBits(event->button());
    if (button == 0) {
        event->ignore();
        return;
    }
    pressedButtons_ |= button;
    const QPointF at = Twips(event->position());
    model_.HandleMouseDown(button, SliderShiftBits(event->modifiers()), at.x(), at.y());
}

void NaSlider::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = Twips(event->position());
    model_.HandleMouseMove(SliderButtonBits(event->buttons()), SliderShiftBits(event->modifiers()),
                           at.x(), at.y());
}

// A primary-button press and release on the slider is a click: the release is handled first,
// the click after it. Other buttons make no click, so they never move the thumb back to the
// last primary release.
void NaSlider::mouseReleaseEvent(QMouseEvent* event) {
    const int button = SliderButtonBits(event->button());
    if (button == 0) {
        event->ignore();
        return;
    }
    const bool click = button == kSliderPrimaryButton && (pressedButtons_ & button) != 0 &&
                       rect().contains(event->position().toPoint());
    pressedButtons_ &= ~button;
    const QPointF at = Twips(event->position());
    model_.HandleMouseUp(button, SliderShiftBits(event->modifiers()), at.x(), at.y());
    if (click) {
        model_.HandleClick();
    }
}

// The second press of a double click is only the double click; its release is no click.
void NaSlider::mouseDoubleClickEvent(QMouseEvent* event) {
    pressedButtons_ &= ~SliderButtonBits(event->button());
    model_.HandleDblClick();
}

void NaSlider::keyPressEvent(QKeyEvent* event) {
    const int keyCode = SliderKeyCode(event->key(), event->modifiers());
    model_.HandleKeyDown(keyCode, SliderShiftBits(event->modifiers()));
    for (const QChar character : event->text()) {
        model_.HandleKeyPress(character.unicode());
    }
    if (!IsStepKey(keyCode)) {
        event->ignore();  // other keys go on to the window, for its buttons and shortcuts
    }
}

void NaSlider::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) {
        return;  // a held key repeats its key-down only
    }
    model_.HandleKeyUp(SliderKeyCode(event->key(), event->modifiers()),
                       SliderShiftBits(event->modifiers()));
    event->ignore();
}

}  // namespace ostrel

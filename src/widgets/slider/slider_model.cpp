#include "widgets/slider/slider_model.h"

#include <algorithm>

#include "common/rounding.h"

namespace ostrel {

SliderModel::SliderModel(SliderSkin skin, QObject* parent) : QObject(parent), skin_(skin) {}

void SliderModel::SetValue(std::int32_t value) {
    if (value > values_.Max) {
        value = values_.Max;
    }
    if (value < values_.Min) {
        value = values_.Min;
    }
    values_.Value = value;
    MarkChanged(QStringLiteral("Value"));
    Repaint();
}

void SliderModel::SetMin(std::int32_t min) {
    values_.Min = min;
    MarkChanged(QStringLiteral("Min"));
}

void SliderModel::SetMax(std::int32_t max) {
    values_.Max = max;
    MarkChanged(QStringLiteral("Max"));
}

void SliderModel::SetSmallChange(std::int32_t change) {
    values_.SmallChange = change;
    MarkChanged(QStringLiteral("SmallChange"));
}

void SliderModel::SetLargeChange(std::int32_t change) {
    values_.LargeChange = change;
    MarkChanged(QStringLiteral("LargeChange"));
}

void SliderModel::SetShowTicks(bool show) {
    values_.ShowTicks = show;
    MarkChanged(QStringLiteral("ShowTicks"));
}

void SliderModel::SetTickNumber(std::int32_t count) {
    values_.TickNumber = count;
    MarkChanged(QStringLiteral("TickNumber"));
}

// The view starts every paint from the background, which is the clearing these writes need.
void SliderModel::SetSelStart(std::int32_t start) {
    values_.SelStart = start;
    MarkChanged(QStringLiteral("SelStart"));
    Repaint();
}

void SliderModel::SetSelLength(std::int32_t length) {
    values_.SelLength = length;
    MarkChanged(QStringLiteral("SelLength"));
    Repaint();
}

void SliderModel::HandleResize(std::int32_t widthTwips, std::int32_t heightTwips) {
    surfaceWidth_ = std::max(widthTwips, 0);
    surfaceHeight_ = std::max(heightTwips, 0);
    const std::int32_t thumbWidth = PixelsToTwips(SkinSize(skin_).ThumbWidth);
    thumbHalfWidth_ = RoundHalfEvenToInt32(thumbWidth / 2.0).value_or(thumbHalfWidth_);
    trackLength_ = CheckedSub32(surfaceWidth_, thumbWidth).value_or(trackLength_);
    emit Resize();
}

void SliderModel::SetValueFromX(double x) {
    double v = 0;  // a zero track length leaves 0
    if (trackLength_ != 0) {
        v = static_cast<double>(values_.Max) / trackLength_ * (x - thumbHalfWidth_);
    }
    if (v <= values_.Min) {
        SetValue(values_.Min);
    } else if (v >= values_.Max) {
        SetValue(values_.Max);
    } else if (const std::optional<std::int32_t> rounded = RoundHalfEvenToInt32(v)) {
        SetValue(*rounded);
    }
}

void SliderModel::HandleClick() {
    SetValueFromX(lastUpX_);
    Repaint();
    emit Click();
}

void SliderModel::HandleDblClick() {
    emit DblClick();
}

void SliderModel::StepDown(std::int32_t change) {
    const std::optional<std::int32_t> next = CheckedSub32(values_.Value, change);
    if (!next) {
        return;
    }
    SetValue(*next <= values_.Min ? values_.Min : *next);
}

void SliderModel::StepUp(std::int32_t change) {
    const std::optional<std::int32_t> next = CheckedAdd32(values_.Value, change);
    if (!next) {
        return;
    }
    SetValue(*next >= values_.Max ? values_.Max : *next);
}

void SliderModel::HandleKeyDown(int keyCode, int shift) {
    switch (keyCode) {
        case kSliderKeyPageUp:
            StepDown(values_.LargeChange);
            break;
        case kSliderKeyPageDown:
            StepUp(values_.LargeChange);
            break;
        case kSliderKeyLeft:
            StepDown(values_.SmallChange);
            break;
        case kSliderKeyRight:
            StepUp(values_.SmallChange);
            break;
        default:
            break;
    }
    Repaint();
    emit KeyDown(keyCode, shift);
}

void SliderModel::HandleKeyPress(int keyAscii) {
    emit KeyPress(keyAscii);
}

void SliderModel::HandleKeyUp(int keyCode, int shift) {
    emit KeyUp(keyCode, shift);
}

void SliderModel::HandleMouseDown(int button, int shift, float x, float y) {
    dragging_ = true;
    emit MouseDown(button, shift, x, y);
}

void SliderModel::HandleMouseMove(int button, int shift, float x, float y) {
    if (button == kSliderSecondaryButton) {
        return;
    }
    if (dragging_) {
        SetValueFromX(x);
        Repaint();
    }
    emit MouseMove(button, shift, x, y);
}

void SliderModel::HandleMouseUp(int button, int shift, float x, float y) {
    dragging_ = false;
    if (button == kSliderPrimaryButton) {
        lastUpX_ = RoundHalfEvenToInt32(x).value_or(lastUpX_);
    }
    emit MouseUp(button, shift, x, y);
}

SliderPaintPlan SliderModel::BeginPaint() {
    SliderPaintInput input;
    input.Values = values_;
    input.ThumbHalfWidth = thumbHalfWidth_;
    input.TrackLength = trackLength_;
    input.SurfaceWidth = surfaceWidth_;
    input.SurfaceHeight = surfaceHeight_;
    input.StripWidth = PixelsToTwips(SkinSize(skin_).StripWidth);
    input.PreviousThumbLeft = thumbLeft_;
    SliderPaintPlan plan = PlanSliderPaint(input);
    thumbLeft_ = plan.ThumbLeft;
    return plan;
}

void SliderModel::EndPaint() {
    emit Paint();
}

void SliderModel::Repaint() {
    emit RepaintRequested();
}

void SliderModel::MarkChanged(const QString& property) {
    emit PropertyChanged(property);
}

}  // namespace ostrel

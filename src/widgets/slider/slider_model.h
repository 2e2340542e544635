// The slider's value, its bounds and steps, and its handling of keys, clicks and drags, in
// twips. The widget forwards its surface's notifications here, repaints when asked and
// passes the ten events on to its host; tests drive the model without a display.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

#include "widgets/slider/slider_geometry.h"
#include "widgets/slider/slider_input.h"
#include "widgets/slider/slider_values.h"

namespace ostrel {

class SliderModel : public QObject {
    Q_OBJECT

  public:
    explicit SliderModel(SliderSkin skin, QObject* parent = nullptr);

    SliderSkin Skin() const { return skin_; }

    // Writing Value clamps it to Max first and then to Min, so Min > Max leaves Min; then
    // it marks the property changed and repaints. Min, Max, the steps, ShowTicks and
    // TickNumber are only stored (Value is not clamped again, nothing repaints). SelStart and
    // SelLength repaint. No write raises an event.
    std::int32_t Value() const { return values_.Value; }
    void SetValue(std::int32_t value);
    std::int32_t Min() const { return values_.Min; }
    void SetMin(std::int32_t min);
    std::int32_t Max() const { return values_.Max; }
    void SetMax(std::int32_t max);
    std::int32_t SmallChange() const { return values_.SmallChange; }
    void SetSmallChange(std::int32_t change);
    std::int32_t LargeChange() const { return values_.LargeChange; }
    void SetLargeChange(std::int32_t change);
    bool ShowTicks() const { return values_.ShowTicks; }
    void SetShowTicks(bool show);
    std::int32_t TickNumber() const { return values_.TickNumber; }
    void SetTickNumber(std::int32_t count);
    std::int32_t SelStart() const { return values_.SelStart; }
    void SetSelStart(std::int32_t start);
    std::int32_t SelLength() const { return values_.SelLength; }
    void SetSelLength(std::int32_t length);

    const SliderValues& Values() const { return values_; }
    // Takes values read from a stored design as they are: no clamping, no repaint, no mark.
    void RestoreValues(const SliderValues& values) { values_ = values; }

    // Internal geometry and pointer state, in twips; valid after the first resize.
    std::int32_t ThumbHalfWidth() const { return thumbHalfWidth_; }
    std::int32_t TrackLength() const { return trackLength_; }
    std::int32_t ThumbLeft() const { return thumbLeft_; }
    bool Dragging() const { return dragging_; }
    std::int32_t LastUpX() const { return lastUpX_; }
    std::int32_t SurfaceWidth() const { return surfaceWidth_; }
    std::int32_t SurfaceHeight() const { return surfaceHeight_; }

    // Notifications from the surface. Sizes and coordinates are in twips relative to the
    // surface's top-left corner; button and shift are the bit sets of the pointer events.
    void HandleResize(std::int32_t widthTwips, std::int32_t heightTwips);
    void HandleClick();
    void HandleDblClick();
    void HandleKeyDown(int keyCode, int shift);
    void HandleKeyPress(int keyAscii);
    void HandleKeyUp(int keyCode, int shift);
    void HandleMouseDown(int button, int shift, float x, float y);
    void HandleMouseMove(int button, int shift, float x, float y);
    void HandleMouseUp(int button, int shift, float x, float y);

    // A paint: BeginPaint lays the layers out and records ThumbLeft, the view draws the plan,
    // EndPaint raises Paint.
    SliderPaintPlan BeginPaint();
    void EndPaint();
    // Asks the view for a paint now, as Refresh does.
    void Repaint();
    // Tells whoever keeps the design that a property changed, so it is saved again.
    void MarkChanged(const QString& property);

  signals:
    void RepaintRequested();
    void PropertyChanged(const QString& property);

    // The events raised to the host.
    void Resize();
    void Click();
    void DblClick();
    void KeyDown(int keyCode, int shift);
    void KeyPress(int keyAscii);
    void KeyUp(int keyCode, int shift);
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);
    void MouseUp(int button, int shift, float x, float y);
    void Paint();

  private:
    // Sets Value from a pointer x: the thumb's centre range maps onto 0..Max.
    void SetValueFromX(double x);
    // The Page/arrow key steps; equality takes the clamping branch.
    void StepDown(std::int32_t change);
    void StepUp(std::int32_t change);

    SliderSkin skin_;
    SliderValues values_;
    std::int32_t thumbHalfWidth_ = 0;
    std::int32_t trackLength_ = 0;
    std::int32_t thumbLeft_ = 0;
    bool dragging_ = false;
    std::int32_t lastUpX_ = 0;
    std::int32_t surfaceWidth_ = 0;
    std::int32_t surfaceHeight_ = 0;
};

}  // namespace ostrel

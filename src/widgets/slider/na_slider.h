// The skinned horizontal slider: a track with a thumb, optional tick marks and a fill from
// the left end. A thin view over SliderModel: it forwards keys, pointer and size changes in
// twips, paints the model's layout and passes the model's events on as its own signals.
#pragma once

#include <QFont>
#include <QFrame>
#include <QVariantMap>
#include <cstdint>

#include "widgets/slider/slider_model.h"
#include "widgets/slider/slider_properties.h"

namespace ostrel {

class NaSlider : public QFrame {
    Q_OBJECT

  public:
    explicit NaSlider(SliderSkin skin, QWidget* parent = nullptr);

    SliderModel& Model() { return model_; }
    const SliderModel& Model() const { return model_; }

    // The control's own properties (see SliderModel for what each write does).
    std::int32_t Value() const { return model_.Value(); }
    void SetValue(std::int32_t value) { model_.SetValue(value); }
    std::int32_t Min() const { return model_.Min(); }
    void SetMin(std::int32_t min) { model_.SetMin(min); }
    std::int32_t Max() const { return model_.Max(); }
    void SetMax(std::int32_t max) { model_.SetMax(max); }
    std::int32_t SmallChange() const { return model_.SmallChange(); }
    void SetSmallChange(std::int32_t change) { model_.SetSmallChange(change); }
    std::int32_t LargeChange() const { return model_.LargeChange(); }
    void SetLargeChange(std::int32_t change) { model_.SetLargeChange(change); }
    bool ShowTicks() const { return model_.ShowTicks(); }
    void SetShowTicks(bool show) { model_.SetShowTicks(show); }
    std::int32_t TickNumber() const { return model_.TickNumber(); }
    void SetTickNumber(std::int32_t count) { model_.SetTickNumber(count); }
    std::int32_t SelStart() const { return model_.SelStart(); }
    void SetSelStart(std::int32_t start) { model_.SetSelStart(start); }
    std::int32_t SelLength() const { return model_.SelLength(); }
    void SetSelLength(std::int32_t length) { model_.SetSelLength(length); }

    // The surface's properties. Colours are 0xBBGGRR, or system colours with the top bit
    // set. ForeColor and Font are kept and saved, but nothing is drawn with them.
    std::uint32_t BackColor() const { return backColor_; }
    void SetBackColor(std::uint32_t color);
    std::uint32_t ForeColor() const { return foreColor_; }
    void SetForeColor(std::uint32_t color);
    // The slider's own setting; a disabled parent also shows the disabled thumb.
    bool Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
    void SetEnabled(bool enabled);
    QFont Font() const { return font(); }
    void SetFont(const QFont& font);
    std::int16_t BackStyle() const { return backStyle_; }  // 0 transparent, 1 opaque
    void SetBackStyle(std::int16_t style);
    std::int16_t BorderStyle() const { return borderStyle_; }  // 0 none, 1 single line
    void SetBorderStyle(std::int16_t style);

    // Paints now; the Paint signal has been raised when this returns.
    void Refresh() { model_.Repaint(); }

    // The design-time properties with the slider's size, and back. Applying takes the
    // values as they are: no clamping, no repaint request, nothing marked changed.
    SliderDesign Design() const;
    void ApplyDesign(const SliderDesign& design);
    QVariantMap WriteProperties() const { return WriteSliderBag(Design()); }
    // A missing font reads as the container's, the parent's font.
    void ReadProperties(const QVariantMap& bag);

    QSize sizeHint() const override;

  signals:
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

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    // Runs a paint at once, so that the events after it see it done.
    void RepaintNow();
    void ResizeModel();
    void ApplyBorderStyle(std::int16_t style);
    QPointF Twips(const QPointF& widgetPixels) const;

    SliderModel model_;
    std::uint32_t backColor_ = kSystemButtonFace;
    std::uint32_t foreColor_ = kSystemButtonText;
    std::int16_t backStyle_ = 1;
    std::int16_t borderStyle_ = 0;
    int pressedButtons_ = 0;  // buttons pressed on the slider and not yet released
    int paintDepth_ = 0;
    quint64 paintCount_ = 0;
};

}  // namespace ostrel

// The slider as assistive technology sees it: role Slider, its accessible name ("Seek",
// "Volume"), and its value with the bounds and step through Qt's value interface; every change
// of the value is announced, so a screen reader follows the playing position and the volume.
#pragma once

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace ostrel {

class NaSlider;

class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit SliderAccessible(NaSlider* slider);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text type) const override;

    QVariant currentValue() const override;
    // A value set from outside moves the thumb as the program's own writes do.
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

  private:
    NaSlider* Slider() const;
};

// Registers the interface with Qt (once) and announces the slider's value changes.
void MakeAccessible(NaSlider* slider);

}  // namespace ostrel

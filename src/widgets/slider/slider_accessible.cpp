#include "widgets/slider/slider_accessible.h"

#include <QAccessible>

#include "widgets/slider/na_slider.h"

namespace ostrel {
namespace {

QAccessibleInterface* SliderFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("ostrel::NaSlider") && object != nullptr &&
        object->isWidgetType()) {
        return new SliderAccessible(static_cast<NaSlider*>(object));
    }
    return nullptr;
}

}  // namespace

SliderAccessible::SliderAccessible(NaSlider* slider)
    : QAccessibleWidget(slider, QAccessible::Slider) {}

NaSlider* SliderAccessible::Slider() const {
    return static_cast<NaSlider*>(widget());
}

void* SliderAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) {
        return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QString SliderAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value) {
        return QString::number(Slider()->Value());
    }
    return QAccessibleWidget::text(type);
}

QVariant SliderAccessible::currentValue() const {
    return Slider()->Value();
}

void SliderAccessible::setCurrentValue(const QVariant& value) {
    Slider()->SetValue(value.toInt());
}

QVariant SliderAccessible::maximumValue() const {
    return Slider()->Max();
}

QVariant SliderAccessible::minimumValue() const {
    return Slider()->Min();
}

QVariant SliderAccessible::minimumStepSize() const {
    return Slider()->SmallChange();
}

void MakeAccessible(NaSlider* slider) {
    static const bool installed = [] {
        QAccessible::installFactory(SliderFactory);
        return true;
    }();
    Q_UNUSED(installed);
    QObject::connect(&slider->Model(), &SliderModel::PropertyChanged, slider,
                     [slider](const QString& property) {
                         if (property == QLatin1String("Value") && QAccessible::isActive()) {
                             QAccessibleValueChangeEvent event(slider, slider->Value());
                             QAccessible::updateAccessibility(&event);
                         }
                     });
}

}  // namespace ostrel

#include "common/settings_store.h"

#include <QSettings>
#include <QVariant>
#include <algorithm>

namespace ostrel {
namespace {

constexpr auto kOrganisation = "Ostrel Software";
constexpr auto kApplication = "Ostrel Media Converter";

QString ValueAsText(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::QString:
            return value.toString();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return value.toString();
        default:
            return {};
    }
}

}  // namespace

QString ReadSetting(const QString& name) {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             QLatin1String(kOrganisation), QLatin1String(kApplication));
    if (settings.status() != QSettings::NoError) {
        return {};
    }
    QString text = ValueAsText(settings.value(name));
    if (text.isEmpty()) {
        return text;
    }
    if (text.front() == QChar(u'\0')) {
        return {};
    }
    if (text.back() == QChar(u'\0')) {
        text.chop(1);
    }
    return text;
}

void WriteSetting(const QString& name, const QString& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kOrganisation),
                       QLatin1String(kApplication));
    if (settings.status() != QSettings::NoError || !settings.isWritable()) {
        return;
    }
    settings.setValue(name, value);
    settings.sync();
}

int ReadConversionNice() {
    bool ok = false;
    const int nice = ReadSetting(kSettingConversionNice).trimmed().toInt(&ok);
    return ok ? std::clamp(nice, 0, 19) : kDefaultConversionNice;
}

}  // namespace ostrel

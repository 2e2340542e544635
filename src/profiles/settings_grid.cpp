#include "profiles/settings_grid.h"

#include <QLocale>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <optional>

#include "common/decimal_text.h"

namespace ostrel {
namespace {

#include "profiles/settings_grid_items.inc"

constexpr const char* kCategoryCaptions[] = {
    QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Output File"),
    QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Video Settings"),
    QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Audio Settings")};

constexpr GridItem kAudioDetailItems[] = {AudioBitrate, SampleRate, Channels};
constexpr GridItem kCropMargins[] = {CropTop, CropBottom, CropLeft, CropRight};

int IndexOf(GridItem item) {
    return static_cast<int>(item) - 1;
}

bool IsValidItem(GridItem item) {
    return IndexOf(item) >= 0 && IndexOf(item) < kGridItemCount;
}

bool IsValidCategory(GridCategory category) {
    const int index = static_cast<int>(category) - 1;
    return index >= 0 && index < kGridCategoryCount;
}

// At least one character, and every character a digit 0..9.
bool IsDigits(QStringView text) {
    return !text.isEmpty() && std::ranges::all_of(text, IsAsciiDigit);
}

bool HasNonZeroDigit(QStringView text) {
    return std::ranges::any_of(text, [](QChar c) { return c >= u'1' && c <= u'9'; });
}

// Digits, or digits followed by "k" in either case ("2500", "2500k", "2500K").
bool IsValidBitrate(QStringView text) {
    if (IsDigits(text)) {
        return true;
    }
    return text.size() >= 2 && text.back().toLower() == u'k' && IsDigits(text.chopped(1));
}

bool IsValidSampleRate(QStringView text) {
    return IsDigits(text);
}

// A number of frames per second; zero and negative rates are refused since no encoder can
// produce them.
bool IsValidFrameRate(QStringView text) {
    const std::optional<double> value = ParseDecimal(text);
    return value.has_value() && *value > 0.0;
}

// Width ":" height, both whole numbers above zero ("4:3", "16:9").
bool IsValidAspect(QStringView text) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) {
        return false;
    }
    const QStringView width = text.left(colon);
    const QStringView height = text.mid(colon + 1);
    return IsDigits(width) && IsDigits(height) && HasNonZeroDigit(width) && HasNonZeroDigit(height);
}

// Megabytes above zero, whole or decimal ("25", "9.5").
bool IsValidFileSize(QStringView text) {
    const std::optional<double> value = ParseDecimal(text);
    return value.has_value() && *value > 0.0;
}

bool IsCropMargin(GridItem item) {
    return std::ranges::find(kCropMargins, item) != std::end(kCropMargins);
}

// The cleaning of a typed text value: trimmed; an empty value becomes "0" for the margins and
// the rotation and "Auto" for anything else; a negative margin loses its sign; a rotation that
// is not a number from -270 to 270 becomes "0".
QString CleanTypedText(GridItem item, const QString& typed) {
    QString text = typed.trimmed();
    const bool numeric = IsCropMargin(item) || item == Rotate;
    if (text.isEmpty()) {
        return numeric ? QStringLiteral("0") : kAuto;
    }
    if (IsCropMargin(item)) {
        // A margin that is not a number stays as typed; the option builder counts it as 0.
        if (const std::optional<double> value = ParseDecimal(text); value && *value < 0.0) {
            text = QString::number(std::abs(*value), 'f', QLocale::FloatingPointShortest);
        }
    } else if (item == Rotate) {
        const std::optional<double> value = ParseDecimal(text);
        if (!value || *value < -270.0 || *value > 270.0) {
            text = QStringLiteral("0");
        }
    }
    return text;
}

std::optional<bool> ToCheck(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(u"true", Qt::CaseInsensitive) == 0 || text == u"1") {
            return true;
        }
        if (text.compare(u"false", Qt::CaseInsensitive) == 0 || text == u"0") {
            return false;
        }
        return std::nullopt;
    }
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok && (number == 0 || number == 1)) {
        return number == 1;
    }
    return std::nullopt;
}

// A choice given by its text or by its position.
std::optional<int> ToChoice(const GridItemInfo& info, const QVariant& value) {
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        for (size_t i = 0; i < info.Choices.size(); ++i) {
            if (text == QLatin1String(info.Choices[i])) {
                return static_cast<int>(i);
            }
        }
        return std::nullopt;
    }
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok && number >= 0 && number < static_cast<int>(info.Choices.size())) {
        return number;
    }
    return std::nullopt;
}

}  // namespace

std::span<const GridItemInfo> GridItemTable() {
    return kItems;
}

const GridItemInfo& InfoOf(GridItem item) {
    static const GridItemInfo kNone{};
    return IsValidItem(item) ? kItems[IndexOf(item)] : kNone;
}

QString GridCategoryCaption(GridCategory category) {
    if (!IsValidCategory(category)) {
        return {};
    }
    return QLatin1String(kCategoryCaptions[static_cast<int>(category) - 1]);
}

GridItem FindGridItemByCaption(const QString& caption) {
    for (const GridItemInfo& info : kItems) {
        if (caption == QLatin1String(info.Caption)) {
            return info.Item;
        }
    }
    return GridItem::None;
}

GridItem FindGridItemByIdentifier(int identifier) {
    if (identifier == 0) {
        return GridItem::None;
    }
    const auto it = std::ranges::find(kItems, identifier, &GridItemInfo::Identifier);
    return it == std::end(kItems) ? GridItem::None : it->Item;
}

SettingsGrid::SettingsGrid(QObject* parent) : QObject(parent) {
    for (const GridItemInfo& info : kItems) {
        StoreValue(info.Item, QString::fromLatin1(info.InitialValue));
        itemReadOnly_[IndexOf(info.Item)] = info.InitiallyReadOnly;
    }
}

QVariant SettingsGrid::Value(GridItem item) const {
    const GridItemInfo& info = InfoOf(item);
    switch (info.Kind) {
        case GridItemKind::Text:
        case GridItemKind::WholeNumber:
            return settings_.*info.TextField;
        case GridItemKind::CheckBox:
            return settings_.*info.CheckField;
        case GridItemKind::FixedChoice:
            return settings_.*info.ChoiceField;
        case GridItemKind::None:
            break;
    }
    return {};
}

QString SettingsGrid::Text(GridItem item) const {
    const GridItemInfo& info = InfoOf(item);
    switch (info.Kind) {
        case GridItemKind::Text:
        case GridItemKind::WholeNumber:
            return settings_.*info.TextField;
        case GridItemKind::CheckBox:
            return settings_.*info.CheckField ? QStringLiteral("true") : QStringLiteral("false");
        case GridItemKind::FixedChoice: {
            const int position = settings_.*info.ChoiceField;
            if (position >= 0 && position < static_cast<int>(info.Choices.size())) {
                return QLatin1String(info.Choices[position]);
            }
            return QString::number(position);
        }
        case GridItemKind::None:
            break;
    }
    return {};
}

bool SettingsGrid::Checked(GridItem item) const {
    const GridItemInfo& info = InfoOf(item);
    return info.Kind == GridItemKind::CheckBox && settings_.*info.CheckField;
}

bool SettingsGrid::SetValue(GridItem item, const QVariant& value) {
    return StoreValue(item, value);
}

bool SettingsGrid::StoreValue(GridItem item, const QVariant& value) {
    const GridItemInfo& info = InfoOf(item);
    switch (info.Kind) {
        case GridItemKind::Text:
        case GridItemKind::WholeNumber:
            StoreText(item, value.toString());
            return true;
        case GridItemKind::CheckBox: {
            const std::optional<bool> checked = ToCheck(value);
            if (!checked) {
                return false;
            }
            if (settings_.*info.CheckField != *checked) {
                settings_.*info.CheckField = *checked;
                emit valueChanged(item);
            }
            return true;
        }
        case GridItemKind::FixedChoice: {
            const std::optional<int> choice = ToChoice(info, value);
            if (!choice) {
                return false;
            }
            if (settings_.*info.ChoiceField != *choice) {
                settings_.*info.ChoiceField = *choice;
                emit valueChanged(item);
            }
            return true;
        }
        case GridItemKind::None:
            break;
    }
    return false;
}

void SettingsGrid::StoreText(GridItem item, const QString& text) {
    QString& field = settings_.*InfoOf(item).TextField;
    if (field != text) {
        field = text;
        emit valueChanged(item);
    }
}

bool SettingsGrid::SetValueByUser(GridItem item, const QVariant& value) {
    if (!IsItemEditable(item)) {
        return false;
    }
    const GridItemInfo& info = InfoOf(item);
    if (info.Kind == GridItemKind::Text || info.Kind == GridItemKind::WholeNumber) {
        StoreText(item, CleanTypedText(item, value.toString()));
    } else if (!StoreValue(item, value)) {
        return false;
    }

    if (info.Identifier == kRemoveAudioIdentifier) {
        const bool removed = settings_.*info.CheckField;
        for (GridItem audioItem : kAudioDetailItems) {
            SetItemHidden(audioItem, removed);
        }
    } else if (info.Identifier == kCropVideoIdentifier) {
        const bool cropping = settings_.*info.CheckField;
        for (GridItem margin : kCropMargins) {
            SetItemReadOnly(margin, !cropping);
        }
    }

    ValidateTextValues();
    return true;
}

void SettingsGrid::ValidateTextValues() {
    const auto check = [this](GridItem item, bool (*isValid)(QStringView)) {
        const QString& text = settings_.*InfoOf(item).TextField;
        if (text != kAuto && !isValid(text)) {
            StoreText(item, kAuto);
        }
    };
    check(VideoBitrate, IsValidBitrate);
    check(AudioBitrate, IsValidBitrate);
    check(SampleRate, IsValidSampleRate);
    check(FrameRate, IsValidFrameRate);
    check(AspectRatio, IsValidAspect);
    check(TargetFileSize, IsValidFileSize);
}

bool SettingsGrid::IsItemHidden(GridItem item) const {
    return IsValidItem(item) && itemHidden_[IndexOf(item)];
}

void SettingsGrid::SetItemHidden(GridItem item, bool hidden) {
    if (IsValidItem(item) && itemHidden_[IndexOf(item)] != hidden) {
        itemHidden_[IndexOf(item)] = hidden;
        emit itemStateChanged(item);
    }
}

bool SettingsGrid::IsCategoryHidden(GridCategory category) const {
    return IsValidCategory(category) && categoryHidden_[static_cast<int>(category) - 1];
}

void SettingsGrid::SetCategoryHidden(GridCategory category, bool hidden) {
    if (!IsValidCategory(category)) {
        return;
    }
    bool& flag = categoryHidden_[static_cast<int>(category) - 1];
    if (flag != hidden) {
        flag = hidden;
        emit categoryStateChanged(category);
    }
}

bool SettingsGrid::IsItemShown(GridItem item) const {
    if (!IsValidItem(item)) {
        return false;
    }
    const GridItemInfo& info = InfoOf(item);
    if (IsItemHidden(item) || IsCategoryHidden(info.Category)) {
        return false;
    }
    return info.Parent == GridItem::None || IsItemShown(info.Parent);
}

bool SettingsGrid::IsItemReadOnly(GridItem item) const {
    return IsValidItem(item) && itemReadOnly_[IndexOf(item)];
}

void SettingsGrid::SetItemReadOnly(GridItem item, bool readOnly) {
    if (IsValidItem(item) && itemReadOnly_[IndexOf(item)] != readOnly) {
        itemReadOnly_[IndexOf(item)] = readOnly;
        emit itemStateChanged(item);
    }
}

bool SettingsGrid::IsItemEditable(GridItem item) const {
    return IsItemShown(item) && !IsItemReadOnly(item);
}

}  // namespace ostrel

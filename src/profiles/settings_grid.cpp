#include "profiles/settings_grid.h"

#include <QLocale>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <optional>

#include "common/decimal_text.h"

namespace ostrel {
namespace {

constexpr const char* kVideoBitrateChoices[] = {
    "Auto",  "64k",   "96k",   "128k",  "160k",  "192k",  "256k",  "320k",
    "384k",  "448k",  "512k",  "640k",  "768k",  "1000k", "1200k", "1500k",
    "1800k", "2000k", "2200k", "2500k", "2800k", "3000k", "3500k", "4000k"};
constexpr const char* kFrameRateChoices[] = {"Auto", "10", "12",    "15", "20", "23.97",
                                             "24",   "25", "29.97", "30", "50", "60"};
constexpr const char* kAspectChoices[] = {"Auto", "4:3", "16:9"};
constexpr const char* kRotateChoices[] = {"-90", "90"};
constexpr const char* kAudioBitrateChoices[] = {"Auto", "32k",  "40k",  "48k",  "56k",
                                                "64k",  "80k",  "96k",  "112k", "128k",
                                                "160k", "192k", "224k", "256k", "320k"};
constexpr const char* kSampleRateChoices[] = {"Auto",  "8000",  "11025", "16000",
                                              "22050", "32000", "44100", "48000"};
// The position of a choice is the number the record holds (0 for "Auto"). The grid keeps
// "Auto" as it is; the model shows it translated.
[[maybe_unused]] constexpr const char* kAutoChoice =
    QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Auto");
constexpr const char* kChannelChoices[] = {"Auto", "1", "2"};
constexpr const char* kYesNoChoices[] = {"Yes", "No"};
// Megabytes of 1,000,000 bytes: an e-mail attachment, a chat upload, a CD's worth.
constexpr const char* kTargetSizeChoices[] = {"Auto", "8", "10", "25", "50", "100", "700"};

using enum GridItem;
using K = GridItemKind;
using C = GridCategory;
using S = OutputSettings;

constexpr GridItemInfo kItems[] = {
    {.Item = Extension,
     .Category = C::OutputFile,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Filename Extension"),
     .Kind = K::Text,
     .TextField = &S::Extension,
     .InitialValue = "",
     .InitiallyReadOnly = true},
    {.Item = VideoBitrate,
     .Category = C::VideoSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Video Bitrate"),
     .Kind = K::Text,
     .TextField = &S::VideoBitrate,
     .InitialValue = "Auto",
     .Choices = kVideoBitrateChoices,
     .Description = QT_TRANSLATE_NOOP("ostrel::SettingsGrid",
                                      "Set the video bit rate in bps (Bit Per Second)"),
     .TypingAllowed = true,
     .CliFlag = "--video-bitrate",
     .CliValue = "V"},
    {.Item = FrameRate,
     .Category = C::VideoSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Frame Rate (FPS)"),
     .Kind = K::Text,
     .TextField = &S::FrameRate,
     .InitialValue = "Auto",
     .Choices = kFrameRateChoices,
     .Description =
         QT_TRANSLATE_NOOP("ostrel::SettingsGrid",
                           "Set how many frames should be displayed per second. Higher frame rate "
                           "increases the smoothness when played back"),
     .TypingAllowed = true,
     .CliFlag = "--frame-rate",
     .CliValue = "F"},
    {.Item = AspectRatio,
     .Category = C::VideoSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Aspect Rate"),
     .Kind = K::Text,
     .TextField = &S::AspectRatio,
     .InitialValue = "Auto",
     .Choices = kAspectChoices,
     .Description = QT_TRANSLATE_NOOP(
         "ostrel::SettingsGrid",
         "Set width to height ratio according to the screen aspect of your playback "
         "device"),
     .TypingAllowed = true,
     .CliFlag = "--aspect",
     .CliValue = "W:H"},
    {.Item = CropVideo,
     .Category = C::VideoSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Crop Video"),
     .Kind = K::CheckBox,
     .CheckField = &S::CropEnabled,
     .InitialValue = "false",
     .Description = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Crop the input video"),
     .Identifier = kCropVideoIdentifier,
     .CliFlag = "--crop",
     .CliValue = "T,B,L,R"},
    {.Item = CropTop,
     .Category = C::VideoSettings,
     .Parent = CropVideo,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Top"),
     .Kind = K::WholeNumber,
     .TextField = &S::CropTop,
     .InitialValue = "0",
     .TypingAllowed = true,
     .InitiallyReadOnly = true},
    {.Item = CropBottom,
     .Category = C::VideoSettings,
     .Parent = CropVideo,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Bottom"),
     .Kind = K::WholeNumber,
     .TextField = &S::CropBottom,
     .InitialValue = "0",
     .TypingAllowed = true,
     .InitiallyReadOnly = true},
    {.Item = CropLeft,
     .Category = C::VideoSettings,
     .Parent = CropVideo,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Left"),
     .Kind = K::WholeNumber,
     .TextField = &S::CropLeft,
     .InitialValue = "0",
     .TypingAllowed = true,
     .InitiallyReadOnly = true},
    {.Item = CropRight,
     .Category = C::VideoSettings,
     .Parent = CropVideo,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Right"),
     .Kind = K::WholeNumber,
     .TextField = &S::CropRight,
     .InitialValue = "0",
     .TypingAllowed = true,
     .InitiallyReadOnly = true},
    {.Item = FlipVertical,
     .Category = C::VideoSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Vertically Flip"),
     .Kind = K::CheckBox,
     .CheckField = &S::FlipVertical,
     .InitialValue = "false",
     .Description = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Flip the input video vertically"),
     .CliFlag = "--vflip"},
    {.Item = FlipHorizontal,
     .Category = C::VideoSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Horizontally Flip"),
     .Kind = K::CheckBox,
     .CheckField = &S::FlipHorizontal,
     .InitialValue = "false",
     .Description = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Flip the input video horizontally"),
     .CliFlag = "--hflip"},
    {.Item = Rotate,
     .Category = C::VideoSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Rotate"),
     .Kind = K::WholeNumber,
     .TextField = &S::Rotate,
     .InitialValue = "0",
     .Choices = kRotateChoices,
     .Description = QT_TRANSLATE_NOOP(
         "ostrel::SettingsGrid",
         "Rotate the video xx degrees clockwise. Valid number is from -270 to 270"),
     .TypingAllowed = true,
     .CliFlag = "--rotate",
     .CliValue = "DEGREES"},
    {.Item = AudioBitrate,
     .Category = C::AudioSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Audio Bitrate"),
     .Kind = K::Text,
     .TextField = &S::AudioBitrate,
     .InitialValue = "Auto",
     .Choices = kAudioBitrateChoices,
     .Description =
         QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Set the audio bitrate in bps(Bit Per Second)"),
     .TypingAllowed = true,
     .CliFlag = "--audio-bitrate",
     .CliValue = "A"},
    {.Item = SampleRate,
     .Category = C::AudioSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Sample Rate"),
     .Kind = K::Text,
     .TextField = &S::SampleRate,
     .InitialValue = "Auto",
     .Choices = kSampleRateChoices,
     .Description =
         QT_TRANSLATE_NOOP("ostrel::SettingsGrid",
                           "Set the audio sampling frequency (the number of samples per second)"),
     .TypingAllowed = true,
     .CliFlag = "--sample-rate",
     .CliValue = "HZ"},
    {.Item = Channels,
     .Category = C::AudioSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Channels"),
     .Kind = K::FixedChoice,
     .ChoiceField = &S::Channels,
     .InitialValue = "Auto",
     .Choices = kChannelChoices,
     .Description = QT_TRANSLATE_NOOP("ostrel::SettingsGrid",
                                      "Set number of audio channels. 1 - Mono, 2 - Stereo"),
     .CliFlag = "--channels"},
    {.Item = RemoveAudio,
     .Category = C::AudioSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Remove Audio"),
     .Kind = K::CheckBox,
     .CheckField = &S::RemoveAudio,
     .InitialValue = "false",
     .Identifier = kRemoveAudioIdentifier,
     .CliFlag = "--remove-audio"},
    {.Item = KeepFolderStructure,
     .Category = C::OutputFile,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Keep Folder Structure"),
     .Kind = K::FixedChoice,
     .ChoiceField = &S::KeepFolderStructure,
     .InitialValue = "Yes",
     .Choices = kYesNoChoices,
     .Description = QT_TRANSLATE_NOOP(
         "ostrel::SettingsGrid",
         "Write the output of a file added with its folder into the same subfolder "
         "under the output folder")},
    {.Item = KeepFileDate,
     .Category = C::OutputFile,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Keep File Date"),
     .Kind = K::FixedChoice,
     .ChoiceField = &S::KeepFileDate,
     .InitialValue = "Yes",
     .Choices = kYesNoChoices,
     .Description = QT_TRANSLATE_NOOP(
         "ostrel::SettingsGrid", "Give each output file the modification time of its input file")},
    {.Item = CopyStreamsThatFit,
     .Category = C::OutputFile,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Copy Streams That Fit"),
     .Kind = K::CheckBox,
     .CheckField = &S::CopyStreamsThatFit,
     .InitialValue = "false",
     .Description = QT_TRANSLATE_NOOP(
         "ostrel::SettingsGrid",
         "Copy a stream as it is, without converting it, when the output can take it "
         "unchanged: much faster, and no quality is lost"),
     .CliFlag = "--copy-when-fits"},
    {.Item = TargetFileSize,
     .Category = C::VideoSettings,
     .Caption = QT_TRANSLATE_NOOP("ostrel::SettingsGrid", "Target File Size (MB)"),
     .Kind = K::Text,
     .TextField = &S::TargetFileSize,
     .InitialValue = "Auto",
     .Choices = kTargetSizeChoices,
     .Description = QT_TRANSLATE_NOOP(
         "ostrel::SettingsGrid",
         "Make the output file this size (1 MB = 1,000,000 bytes): the video bit rate "
         "is computed from the length and the video is encoded in two passes"),
     .TypingAllowed = true,
     .CliFlag = "--target-size",
     .CliValue = "MB"},
};
static_assert(std::size(kItems) == kGridItemCount);

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

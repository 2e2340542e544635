#include "profiles/format_dialog_model.h"

#include <QDir>
#include <algorithm>
#include <thread>

#include "common/decimal_text.h"
#include "common/file_info.h"
#include "common/rounding.h"

namespace ostrel {
namespace {

constexpr const char* kSizeEntries[] = {
    QT_TRANSLATE_NOOP("ostrel::FormatDialogModel", "Auto"),
    "128 x 96 (sqcif)",
    "176 x 144 (qcif)",
    "320 x 240 (qvga)",
    "352 x 240",
    "352 x 288 (cif)",
    "480 x 320",
    "640 x 480 (vga)",
    "720 x 480 (NTSC)",
    "704 x 576 (4cif)",
    "720 x 576 (PAL)",
    "800 x 600",
    "1024 x 576",
    "1280 x 720",
    "1920 x 1080",
    QT_TRANSLATE_NOOP("ostrel::FormatDialogModel", "Custom...")};
static_assert(std::size(kSizeEntries) == kSizeIndexCustom + 1);

constexpr int kMinSide = 16;
constexpr int kMaxSide = 5000;

// A number written as a plain decimal whole number (rounded, halves to even).
QString WholeNumberText(double value) {
    return QString::number(RoundHalfEven(value).value_or(0));
}

}  // namespace

// Collects the changes of one operation (which may run others) into a single changed() signal.
class FormatDialogModel::ChangeBatch {
  public:
    explicit ChangeBatch(FormatDialogModel& model) : model_(model) {
        if (model_.batchDepth_++ == 0) {
            before_ = model_.Settings();
            enabledBefore_ = model_.EnabledState();
        }
    }
    ~ChangeBatch() {
        if (--model_.batchDepth_ != 0) {
            return;
        }
        const bool dirty = model_.pendingChange_ || before_ != model_.Settings() ||
                           enabledBefore_ != model_.EnabledState();
        model_.pendingChange_ = false;
        if (dirty) {
            emit model_.changed();
        }
    }
    ChangeBatch(const ChangeBatch&) = delete;
    ChangeBatch& operator=(const ChangeBatch&) = delete;

  private:
    FormatDialogModel& model_;
    OutputSettings before_;
    int enabledBefore_ = 0;
};

QStringList FormatDialogModel::SizeEntries() {
    // Translated on each call, so that a language loaded later is shown; the sizes themselves
    // are numbers and stay as they are.
    QStringList list;
    for (const char* entry : kSizeEntries) {
        list.append(tr(entry));
    }
    return list;
}

QStringList FormatDialogModel::QualityEntries() {
    return {tr("High (larger file size)"), tr("Normal"), tr("Low (smaller file size)")};
}

int FormatDialogModel::SystemProcessorCount() {
    // hardware_concurrency() is 0 when the count cannot be told.
    return static_cast<int>(std::thread::hardware_concurrency());
}

bool FormatDialogModel::FilterSizeKey(QChar key) {
    return IsAsciiDigit(key) || key == u'\b';
}

FormatDialogModel::FormatDialogModel(const QString& outputFolder, int processorCount,
                                     QObject* parent)
    : QObject(parent) {
    // Grid changes made by a view arrive here outside any operation of this model.
    const auto noteGridChange = [this] { NoteChange(); };
    connect(&grid_, &SettingsGrid::valueChanged, this, noteGridChange);
    connect(&grid_, &SettingsGrid::itemStateChanged, this, noteGridChange);
    connect(&grid_, &SettingsGrid::categoryStateChanged, this, noteGridChange);

    ChangeBatch batch(*this);
    OutputSettings& fields = grid_.DialogFields();
    fields.FormatKey = QStringLiteral("mp4h264");
    grid_.SetValue(GridItem::Extension, QStringLiteral("mp4"));
    fields.FormatCaption = QStringLiteral("MP4 - H264 Video (*.mp4)");
    fields.AudioOnly = false;
    ApplySizeSelection(kSizeIndexAuto);
    ApplyVideoQuality(QualityNormal);
    ApplyAudioQuality(QualityNormal);
    fields.DestinationFolder = outputFolder;
    gridExpanded_ = true;
    ToggleMore();
    FillCpuList(processorCount);
}

int FormatDialogModel::EnabledState() const {
    return (sizeEnabled_ ? 1 : 0) | (widthEnabled_ ? 2 : 0) | (heightEnabled_ ? 4 : 0) |
           (videoQualityEnabled_ ? 8 : 0) | (gridExpanded_ ? 16 : 0);
}

QString FormatDialogModel::MoreButtonText() const {
    return gridExpanded_ ? tr("More <<") : tr("More >>");
}

int FormatDialogModel::DialogWidthTwips() const {
    return gridExpanded_ ? kExpandedWidthTwips : kCollapsedWidthTwips;
}

bool FormatDialogModel::SelectSize(int index) {
    if (!sizeEnabled_ || index < 0 || index >= SizeEntries().size()) {
        return false;
    }
    ChangeBatch batch(*this);
    ApplySizeSelection(index);
    return true;
}

bool FormatDialogModel::SetWidthText(const QString& text) {
    return SetSizeBoxText(&OutputSettings::Width, widthEnabled_, text);
}

bool FormatDialogModel::SetHeightText(const QString& text) {
    return SetSizeBoxText(&OutputSettings::Height, heightEnabled_, text);
}

void FormatDialogModel::LeaveWidth() {
    LeaveSizeBox(&OutputSettings::Width, widthEnabled_);
}

void FormatDialogModel::LeaveHeight() {
    LeaveSizeBox(&OutputSettings::Height, heightEnabled_);
}

bool FormatDialogModel::SetSizeBoxText(QString OutputSettings::*box, bool enabled,
                                       const QString& text) {
    if (!enabled) {
        return false;
    }
    ChangeBatch batch(*this);
    grid_.DialogFields().*box = text;
    return true;
}

void FormatDialogModel::LeaveSizeBox(QString OutputSettings::*box, bool enabled) {
    if (enabled) {
        ChangeBatch batch(*this);
        ApplyLeaveRule(box);
    }
}

void FormatDialogModel::CommitSizeBoxes() {
    if (Settings().SizeIndex == kSizeIndexAuto) {
        return;
    }
    ChangeBatch batch(*this);
    ApplyLeaveRule(&OutputSettings::Width);
    ApplyLeaveRule(&OutputSettings::Height);
}

bool FormatDialogModel::SelectVideoQuality(int index) {
    if (!videoQualityEnabled_ || index < 0 || index >= QualityEntries().size()) {
        return false;
    }
    ChangeBatch batch(*this);
    ApplyVideoQuality(index);
    return true;
}

bool FormatDialogModel::SelectAudioQuality(int index) {
    if (index < 0 || index >= QualityEntries().size()) {
        return false;
    }
    ChangeBatch batch(*this);
    ApplyAudioQuality(index);
    return true;
}

bool FormatDialogModel::SelectCpu(int index) {
    if (index < 0 || index >= cpuChoices_.size()) {
        return false;
    }
    ChangeBatch batch(*this);
    grid_.DialogFields().CpuThreads = cpuChoices_[index];
    return true;
}

QString FormatDialogModel::AbsoluteDestination(const QString& typed, const QString& home) {
    const auto absolute = [&home](QString text) {
        text = QDir::fromNativeSeparators(text);
        if (text == QLatin1String("~")) {
            text = home;
        } else if (text.startsWith(QLatin1String("~/"))) {
            text = home + text.mid(1);
        }
        QString folder = QDir::cleanPath(QDir(home).filePath(text));
        if (!folder.endsWith(QLatin1Char('/'))) {
            folder += QLatin1Char('/');
        }
        return folder;
    };
    const QString trimmed = typed.trimmed();
    if (trimmed.isEmpty()) {
        return {};
    }
    if (trimmed != typed) {
        const QString asTyped = absolute(typed);
        if (KindOf(asTyped) == FileKind::Folder) {
            return asTyped;
        }
    }
    return absolute(trimmed);
}

void FormatDialogModel::SetDestinationFolder(const QString& folder) {
    ChangeBatch batch(*this);
    grid_.DialogFields().DestinationFolder = folder;
}

void FormatDialogModel::ToggleMore() {
    ChangeBatch batch(*this);
    gridExpanded_ = !gridExpanded_;
}

void FormatDialogModel::ApplyProfile(const ProfileEntry& entry) {
    ChangeBatch batch(*this);
    OutputSettings& fields = grid_.DialogFields();
    fields.FormatCaption = QString::fromUtf8(entry.Caption);
    fields.AudioOnly = false;
    // The format key and the audio-only flag come before the reset, which reads the flag.
    fields.FormatKey = QString::fromLatin1(entry.FormatKey);
    fields.AudioOnly = entry.AudioOnly;
    ResetProfileSettings();

    // Presets are trusted values: they bypass the grid's validation and the boxes' leave rule.
    if (entry.HasPresetSize()) {
        ApplySizeSelection(kSizeIndexCustom);
        fields.Width = QString::number(entry.PresetWidth);
        fields.Height = QString::number(entry.PresetHeight);
    }
    if (entry.PresetFrameRate != nullptr) {
        grid_.SetValue(GridItem::FrameRate, QString::fromLatin1(entry.PresetFrameRate));
    }
    if (entry.PresetAudioBitrate != nullptr) {
        grid_.SetValue(GridItem::AudioBitrate, QString::fromLatin1(entry.PresetAudioBitrate));
    }
    if (entry.PresetChannels > 0) {
        grid_.SetValue(GridItem::Channels, entry.PresetChannels);
    }
    grid_.SetValue(GridItem::Extension, ExtensionForFormatKey(fields.FormatKey));
}

bool FormatDialogModel::ApplyProfileById(int commandId) {
    const ProfileEntry* entry = FindProfile(commandId);
    if (entry == nullptr) {
        return false;
    }
    ApplyProfile(*entry);
    return true;
}

void FormatDialogModel::ResetProfileSettings() {
    ChangeBatch batch(*this);
    ApplySizeSelection(kSizeIndexAuto);
    ApplyVideoQuality(QualityNormal);
    ApplyAudioQuality(QualityNormal);
    for (GridItem item : {GridItem::VideoBitrate, GridItem::FrameRate, GridItem::AspectRatio,
                          GridItem::AudioBitrate, GridItem::SampleRate}) {
        grid_.SetValue(item, kAuto);
    }
    grid_.SetValue(GridItem::Channels, static_cast<int>(ChannelsAuto));
    grid_.SetItemHidden(GridItem::RemoveAudio, false);
    grid_.SetValue(GridItem::RemoveAudio, false);
    for (GridItem item : {GridItem::AudioBitrate, GridItem::SampleRate, GridItem::Channels}) {
        grid_.SetItemHidden(item, false);
    }
    grid_.SetCategoryHidden(GridCategory::VideoSettings, false);
    // A video profile without a size keeps the boxes empty but enabled while the size is "Auto";
    // the option builder reads them only for a size other than "Auto".
    sizeEnabled_ = true;
    SetSizeBoxesEnabled(true);
    videoQualityEnabled_ = true;
    if (Settings().AudioOnly) {
        grid_.SetCategoryHidden(GridCategory::VideoSettings, true);
        grid_.SetItemHidden(GridItem::RemoveAudio, true);
        sizeEnabled_ = false;
        SetSizeBoxesEnabled(false);
        videoQualityEnabled_ = false;
    }
}

void FormatDialogModel::ApplySizeSelection(int index) {
    OutputSettings& fields = grid_.DialogFields();
    fields.SizeIndex = index;
    if (index == kSizeIndexAuto) {
        fields.Width.clear();
        fields.Height.clear();
        SetSizeBoxesEnabled(false);
        return;
    }
    if (index == kSizeIndexCustom) {
        SetSizeBoxesEnabled(true);
        emit widthFocusRequested();
        return;
    }
    // "W x H", optionally followed by a blank and a name in parentheses.
    const QString entry = SizeEntries()[index];
    const qsizetype separator = entry.indexOf(QLatin1String(" x "));
    if (separator >= 0) {
        SetSizeBoxesEnabled(false);
        fields.Width = WholeNumberText(LeadingNumberValue(QStringView(entry).left(separator)));
        fields.Height = WholeNumberText(LeadingNumberValue(QStringView(entry).mid(separator + 3)));
    }
}

void FormatDialogModel::ApplyVideoQuality(int index) {
    grid_.DialogFields().VideoQuality = index;
    // A quality level and an explicit bitrate are alternatives: the level clears the bitrate.
    grid_.SetValue(GridItem::VideoBitrate, kAuto);
}

void FormatDialogModel::ApplyAudioQuality(int index) {
    grid_.DialogFields().AudioQuality = index;
    grid_.SetValue(GridItem::AudioBitrate, kAuto);
    grid_.SetValue(GridItem::SampleRate, kAuto);
}

void FormatDialogModel::SetSizeBoxesEnabled(bool enabled) {
    widthEnabled_ = enabled;
    heightEnabled_ = enabled;
}

// The value a size box is left with: its number value (empty counts as 0) clamped to 16..5000,
// then made even by adding 1.
void FormatDialogModel::ApplyLeaveRule(QString OutputSettings::*box) {
    QString& text = grid_.DialogFields().*box;
    const double value = LeadingNumberValue(text);
    qint64 side = 0;
    if (value < kMinSide) {
        side = kMinSide;
    } else if (value > kMaxSide) {
        side = kMaxSide;
    } else {
        side = RoundHalfEven(value).value_or(0);
    }
    if (side % 2 != 0) {
        ++side;
    }
    text = QString::number(side);
}

void FormatDialogModel::FillCpuList(int processorCount) {
    cpuChoices_.clear();
    const int count = std::max(processorCount, 1);
    for (int i = 1; i <= count; ++i) {
        cpuChoices_.append(QString::number(i));
    }
    grid_.DialogFields().CpuThreads = cpuChoices_.last();
}

void FormatDialogModel::NoteChange() {
    if (batchDepth_ > 0) {
        pendingChange_ = true;
    } else {
        emit changed();
    }
}

}  // namespace ostrel

// The settings grid: the adjustable per-profile values of the format dialog (bitrates, frame
// rate, aspect, crop, flip, rotate, sample rate, channels, remove-audio) as a table of items over
// an OutputSettings record. The record is the only storage: an item reads and writes its field.
// The grid adds what a property grid shows besides values: per-item hidden and read-only flags,
// per-category hidden flags, and the cleaning and validation of what the user types.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <span>

#include "profiles/output_settings.h"

namespace ostrel {

// The three categories, in grid order.
enum class GridCategory : int { None = 0, OutputFile, VideoSettings, AudioSettings };
inline constexpr int kGridCategoryCount = 3;

// The items, in grid order. The four crop margins are children of CropVideo.
enum class GridItem : int {
    None = 0,
    Extension,
    VideoBitrate,
    FrameRate,
    AspectRatio,
    CropVideo,
    CropTop,
    CropBottom,
    CropLeft,
    CropRight,
    FlipVertical,
    FlipHorizontal,
    Rotate,
    AudioBitrate,
    SampleRate,
    Channels,
    RemoveAudio,
    KeepFolderStructure,
    KeepFileDate,
    // Added later; each is shown under its category after the older items.
    CopyStreamsThatFit,
    TargetFileSize,
};
inline constexpr int kGridItemCount = 20;

enum class GridItemKind : int {
    None = 0,
    Text,         // free text, optionally with choices to pick from
    WholeNumber,  // typed as text; the value-change handling cleans it
    CheckBox,     // true or false
    FixedChoice,  // one of the choices, no typing; the value is the choice's position
};

// Identifiers by which the value-change handling recognises two check boxes.
inline constexpr int kRemoveAudioIdentifier = 100;
inline constexpr int kCropVideoIdentifier = 101;

// One row of the item table. Exactly one of the three field pointers is set, matching Kind.
struct GridItemInfo {
    GridItem Item = GridItem::None;
    GridCategory Category = GridCategory::None;
    GridItem Parent = GridItem::None;
    const char* Caption = "";
    GridItemKind Kind = GridItemKind::None;
    QString OutputSettings::*TextField = nullptr;  // Text and WholeNumber items
    bool OutputSettings::*CheckField = nullptr;    // CheckBox items
    int OutputSettings::*ChoiceField = nullptr;    // FixedChoice items: the choice's position
    const char* InitialValue = "";                 // as text: "Auto", "0", "false" ...
    std::span<const char* const> Choices = {};
    const char* Description = nullptr;
    bool TypingAllowed = false;
    bool InitiallyReadOnly = false;
    int Identifier = 0;
    // The headless converter's option for the item and the value it takes ("V"); a check box
    // without a value is a bare flag, one with a value takes one value per child item, and a
    // fixed choice takes one of its choices.
    const char* CliFlag = nullptr;
    const char* CliValue = nullptr;
};

// The item table in grid order; GridItemTable()[i].Item == GridItem(i + 1).
std::span<const GridItemInfo> GridItemTable();
const GridItemInfo& InfoOf(GridItem item);
QString GridCategoryCaption(GridCategory category);
// GridItem::None when no item has that caption (exact comparison) or identifier.
GridItem FindGridItemByCaption(const QString& caption);
GridItem FindGridItemByIdentifier(int identifier);

class SettingsGrid : public QObject {
    Q_OBJECT

  public:
    // Builds the grid: every item gets its initial value, "Filename Extension" and the crop
    // margins start read-only, nothing is hidden.
    explicit SettingsGrid(QObject* parent = nullptr);

    const OutputSettings& Settings() const { return settings_; }
    // For the fields the grid does not show (format, size, qualities, CPU, folder). Grid fields
    // must be written through SetValue so that views are told.
    OutputSettings& DialogFields() { return settings_; }

    // The value as a QString (Text, WholeNumber), bool (CheckBox) or int (FixedChoice).
    QVariant Value(GridItem item) const;
    // The value as shown: the text, "true"/"false", or the choice's text ("Auto", "1", "2").
    QString Text(GridItem item) const;
    bool Checked(GridItem item) const;

    // A write by the program: stored as given, no cleaning, no validation, no side effects.
    // False (and nothing changes) for GridItem::None, a check box given something that is not a
    // boolean, or a fixed choice given neither a choice's text nor a valid position.
    bool SetValue(GridItem item, const QVariant& value);

    // A change made by the user, with the full value-change handling: "Remove Audio" hides or
    // shows the other audio items, "Crop Video" makes the margins editable or read-only, a
    // typed value is trimmed and cleaned, and then all five text values are validated. False
    // (and nothing changes) when the item cannot be edited (read-only or not shown) or the
    // value does not fit the item's kind.
    bool SetValueByUser(GridItem item, const QVariant& value);

    // Replaces every invalid bitrate, sample rate, frame rate and aspect value with "Auto".
    void ValidateTextValues();

    bool IsItemHidden(GridItem item) const;
    void SetItemHidden(GridItem item, bool hidden);
    bool IsCategoryHidden(GridCategory category) const;
    void SetCategoryHidden(GridCategory category, bool hidden);
    // Not hidden itself, nor its parent item, nor its category.
    bool IsItemShown(GridItem item) const;
    bool IsItemReadOnly(GridItem item) const;
    void SetItemReadOnly(GridItem item, bool readOnly);
    // Shown and not read-only: the user can change it.
    bool IsItemEditable(GridItem item) const;

  signals:
    void valueChanged(ostrel::GridItem item);
    // The item's hidden or read-only flag changed.
    void itemStateChanged(ostrel::GridItem item);
    void categoryStateChanged(ostrel::GridCategory category);

  private:
    bool StoreValue(GridItem item, const QVariant& value);
    void StoreText(GridItem item, const QString& text);

    OutputSettings settings_;
    bool itemHidden_[kGridItemCount] = {};
    bool itemReadOnly_[kGridItemCount] = {};
    bool categoryHidden_[kGridCategoryCount] = {};
};

}  // namespace ostrel

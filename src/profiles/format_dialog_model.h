// The format dialog without its window: the settings record with its grid, plus the state of the
// dialog's own controls (size list and boxes, quality lists, CPU list, folder, expand/collapse)
// and the rules that tie them together. The dialog widgets only show this model and forward user
// actions to it; the headless converter drives it directly.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "common/rounding.h"
#include "profiles/catalogue.h"
#include "profiles/output_settings.h"
#include "profiles/settings_grid.h"

namespace ostrel {

class FormatDialogModel : public QObject {
    Q_OBJECT

  public:
    static constexpr int kCollapsedWidthTwips = 7305;
    static constexpr int kExpandedWidthTwips = 12270;

    // The entries of the size list; 0 is "Auto", the last is "Custom...".
    static QStringList SizeEntries();
    // The entries of both quality lists, by QualityLevel.
    static QStringList QualityEntries();
    // The number of processors, 0 when it cannot be told.
    static int SystemProcessorCount();
    // Accepts a typed character for the width and height boxes: a digit or Backspace.
    static bool FilterSizeKey(QChar key);
    // The destination as an absolute folder ending in "/": a leading "~" is the home folder,
    // and a relative name is taken inside home, never inside the process's current folder.
    // Blanks around the text are dropped unless the text as typed names an existing folder,
    // so "  out  " is "out" while a real folder whose name ends in a blank is still found.
    // An empty or blank text stays empty (and is rejected later).
    static QString AbsoluteDestination(const QString& typed, const QString& home);

    // Runs the dialog's load sequence: the grid is built, the profile is "MP4 - H264 Video
    // (*.mp4)", the size is "Auto", both qualities "Normal", the destination is outputFolder,
    // the dialog is collapsed and the CPU list runs from "1" to processorCount.
    explicit FormatDialogModel(const QString& outputFolder,
                               int processorCount = SystemProcessorCount(),
                               QObject* parent = nullptr);

    const OutputSettings& Settings() const { return grid_.Settings(); }
    SettingsGrid& Grid() { return grid_; }
    const SettingsGrid& Grid() const { return grid_; }

    // The single item of the format box.
    QString FormatCaption() const { return Settings().FormatCaption; }

    bool IsSizeEnabled() const { return sizeEnabled_; }
    bool IsWidthEnabled() const { return widthEnabled_; }
    bool IsHeightEnabled() const { return heightEnabled_; }
    bool IsVideoQualityEnabled() const { return videoQualityEnabled_; }
    bool IsAudioQualityEnabled() const { return true; }

    const QStringList& CpuChoices() const { return cpuChoices_; }
    // Position of CpuThreads in CpuChoices(), -1 when it is not there.
    int CpuIndex() const { return static_cast<int>(cpuChoices_.indexOf(Settings().CpuThreads)); }

    bool IsGridExpanded() const { return gridExpanded_; }
    QString MoreButtonText() const;
    int DialogWidthTwips() const;
    int DialogWidthPixels() const { return TwipsToPixels(DialogWidthTwips()); }

    // User actions. Each returns false and changes nothing when its control is disabled or the
    // index is out of range.
    bool SelectSize(int index);
    bool SetWidthText(const QString& text);
    bool SetHeightText(const QString& text);
    // The width or height box loses the focus: the value becomes an even number 16..5000.
    void LeaveWidth();
    void LeaveHeight();
    // Runs the leave rule on both boxes when a size other than "Auto" is chosen, so that a box
    // the user never entered (or a run started while typing) cannot hand an empty or odd size on.
    void CommitSizeBoxes();
    bool SelectVideoQuality(int index);
    bool SelectAudioQuality(int index);
    bool SelectCpu(int index);
    void SetDestinationFolder(const QString& folder);
    void ToggleMore();

    // Profile choice: the format key, the reset, then the profile's presets and its extension.
    void ApplyProfile(const ProfileEntry& entry);
    // ApplyProfile with the profile of that command identifier; false when there is none.
    bool ApplyProfileById(int commandId);
    // Puts the per-profile fields back to their defaults and enables or hides the controls that
    // the audio-only flag governs.
    void ResetProfileSettings();

  signals:
    // Something the dialog shows changed; a view re-reads the model.
    void changed();
    // The size selection "Custom..." wants the keyboard focus in the width box.
    void widthFocusRequested();

  private:
    class ChangeBatch;

    void ApplySizeSelection(int index);
    void ApplyVideoQuality(int index);
    void ApplyAudioQuality(int index);
    void SetSizeBoxesEnabled(bool enabled);
    void ApplyLeaveRule(QString OutputSettings::*box);
    bool SetSizeBoxText(QString OutputSettings::*box, bool enabled, const QString& text);
    void LeaveSizeBox(QString OutputSettings::*box, bool enabled);
    void FillCpuList(int processorCount);
    void NoteChange();
    // The enabled and expanded flags packed into one number, to tell whether any changed.
    int EnabledState() const;

    SettingsGrid grid_;
    bool sizeEnabled_ = true;
    bool widthEnabled_ = true;
    bool heightEnabled_ = true;
    bool videoQualityEnabled_ = true;
    bool gridExpanded_ = false;
    QStringList cpuChoices_;
    int batchDepth_ = 0;
    bool pendingChange_ = false;
};

}  // namespace ostrel

// The format dialog "Output Settings": the output profile, picture size, quality levels, CPU
// cores and destination folder on the left, the settings grid on the right when expanded.
// Every control shows FormatDialogModel and forwards the user's actions to it.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <functional>

#include "profiles/format_dialog_model.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QFrame;

namespace ostrel {

class SettingsGridView;

// Shows an error message box; injectable so that tests are not blocked by a modal box.
using ErrorMessageFunction =
    std::function<void(QWidget* parent, const QString& caption, const QString& text)>;
// Asks the user for a folder; returns an empty text when the user cancels.
using FolderChooserFunction = std::function<QString(QWidget* parent)>;

ErrorMessageFunction DefaultErrorMessage();
FolderChooserFunction DefaultFolderChooser();

// The format box: one item, the chosen profile's caption. Opening it shows the profile menu
// under the box instead of a list.
class ProfileComboBox : public QComboBox {
    Q_OBJECT

  public:
    using QComboBox::QComboBox;

    void showPopup() override;

  signals:
    void dropDownRequested();
};

class FormVideoFormat : public QDialog {
    Q_OBJECT

  public:
    FormVideoFormat(const QString& outputFolder, int processorCount, QWidget* parent = nullptr);

    FormatDialogModel& Model() { return model_; }
    SettingsGridView* Grid() const { return grid_; }
    QMenu* ProfileMenu() const { return formatMenu_; }

    void SetErrorMessageFunction(ErrorMessageFunction function) {
        errorMessage_ = std::move(function);
    }
    void SetFolderChooser(FolderChooserFunction function) { folderChooser_ = std::move(function); }

    // Shows an error message box owned by the dialog.
    void ShowError(const QString& caption, const QString& text) {
        errorMessage_(this, caption, text);
    }

    // The first step of OK: the folder text is made absolute (a leading "~" and a relative name
    // are taken in the home folder, blanks around a name that is not a folder are dropped) and
    // given its trailing separator; an unusable folder says "Invalid path!", puts the focus into
    // the folder box and opens the folder chooser. Returns the accepted folder, or an empty text.
    QString CheckOutputFolder();

    // Opens the folder chooser and writes a chosen folder into the folder box.
    void Browse();

  signals:
    // OK was pressed; the conversion decides whether the run starts.
    void okRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void BuildControls();
    void BuildProfileMenu();
    void PlaceControls();
    void ShowProfileMenu();
    void Refresh();
    void ApplyWidth();

    FormatDialogModel model_;
    ErrorMessageFunction errorMessage_;
    FolderChooserFunction folderChooser_;

    QFrame* frame_ = nullptr;
    ProfileComboBox* comboFormat_ = nullptr;
    QComboBox* comboSize_ = nullptr;
    QLineEdit* textW_ = nullptr;
    QLineEdit* textH_ = nullptr;
    QComboBox* comboVideoQ_ = nullptr;
    QComboBox* comboAudioQ_ = nullptr;
    QComboBox* comboCpu_ = nullptr;
    QLineEdit* textFolder_ = nullptr;
    QPushButton* btnBrowse_ = nullptr;
    QPushButton* btnMore_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    SettingsGridView* grid_ = nullptr;
    QMenu* formatMenu_ = nullptr;
    QList<QLabel*> labels_;
};

}  // namespace ostrel

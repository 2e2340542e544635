#include "app/format_dialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFrame>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSignalBlocker>

#include "app/settings_grid_view.h"
#include "app/window_placement.h"
#include "common/rounding.h"
#include "profiles/catalogue.h"
#include "profiles/device_limits.h"
#include "profiles/option_builder.h"

namespace ostrel {
namespace {

// The layout is designed in twips.
QRect FromTwips(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

constexpr int kClientHeightTwips = 5715;
constexpr int kGridLeftTwips = 7080;
constexpr int kGridTopTwips = 255;
constexpr int kGridWidthTwips = 4920;
constexpr int kGridHeightTwips = 5040;

// Places a caption label; the label grows to the font's line height, centred on its design
// rectangle, so that a system font larger than the designed one is not clipped. A text wider
// than its place moves left so that it still ends before the control it names, which starts at
// controlLeftTwips.
void PlaceLabel(QLabel* label, int left, int top, int width, int height, int controlLeftTwips) {
    QRect rect = FromTwips(left, top, width, height);
    const QFontMetrics metrics = label->fontMetrics();
    const int needed = metrics.height() + 2;
    if (rect.height() < needed) {
        rect.adjust(0, -(needed - rect.height()) / 2, 0, 0);
        rect.setHeight(needed);
    }
    const int textWidth = metrics.horizontalAdvance(label->text()) + 2;
    const int rightLimit = FromTwips(controlLeftTwips, 0, 0, 0).left() - 3;
    if (rect.left() + textWidth > rightLimit) {
        rect.moveLeft(qMax(3, rightLimit - textWidth));
    }
    rect.setWidth(qMax(rect.width(), textWidth));
    label->setGeometry(rect);
}

QString MenuText(const char* caption) {
    // Captions are shown as they stand: an ampersand is not a mnemonic. Group names are
    // translated; product names have no translation and stay as they are.
    return QCoreApplication::translate("ostrel::Catalogue", caption)
        .replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void SetTextIfDifferent(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) {
        edit->setText(text);
    }
}

// A caption longer than the room before its control (a translation) pushes the control's left
// edge to the right, keeping its right edge; the English captions fit and move nothing.
void FitControlAfterLabel(const QLabel* label, QWidget* control) {
    const int needed = label->x() + label->fontMetrics().horizontalAdvance(label->text()) + 5;
    if (control->x() < needed) {
        const QRect rect = control->geometry();
        control->setGeometry(needed, rect.y(), qMax(rect.right() + 1 - needed, 20), rect.height());
    }
}

// A caption that moved left to end before its control does not run under the edit before it:
// the edit gives way.
void FitEditBeforeLabel(QWidget* edit, const QLabel* label) {
    if (edit->geometry().right() + 4 > label->x()) {
        edit->resize(qMax(label->x() - 4 - edit->x(), 20), edit->height());
    }
}

// A button whose caption does not fit grows to the left, and the edit before it gives way.
void FitButtonAfterEdit(QPushButton* button, QWidget* edit) {
    const int needed = button->fontMetrics().horizontalAdvance(button->text()) + 16;
    if (button->width() >= needed) {
        return;
    }
    const QRect rect = button->geometry();
    button->setGeometry(rect.right() + 1 - needed, rect.y(), needed, rect.height());
    edit->resize(qMax(button->x() - 6 - edit->x(), 20), edit->height());
}

}  // namespace

ErrorMessageFunction DefaultErrorMessage() {
    return [](QWidget* parent, const QString& caption, const QString& text) {
        QMessageBox::critical(parent, caption, text);
    };
}

FolderChooserFunction DefaultFolderChooser() {
    return [](QWidget* parent) { return QFileDialog::getExistingDirectory(parent); };
}

void ProfileComboBox::showPopup() {
    emit dropDownRequested();
}

FormVideoFormat::FormVideoFormat(const QString& outputFolder, int processorCount, QWidget* parent)
    : QDialog(parent),
      model_(outputFolder, processorCount),
      errorMessage_(DefaultErrorMessage()),
      folderChooser_(DefaultFolderChooser()) {
    setObjectName(QStringLiteral("FormVideoFormat"));
    setWindowTitle(tr("Output Settings"));
    // Its size is fixed (only "More" changes it): no maximise button.
    setWindowFlags(DialogFlags(false));
    QFont dialogFont = font();
    dialogFont.setPointSize(9);
    setFont(dialogFont);

    BuildControls();
    BuildProfileMenu();
    PlaceControls();

    connect(&model_, &FormatDialogModel::changed, this, [this] { Refresh(); });
    connect(&model_, &FormatDialogModel::widthFocusRequested, this, [this] {
        // The request comes before the model's change notice: show the enabled box
        // first, a disabled one cannot take the focus.
        Refresh();
        textW_->setFocus(Qt::OtherFocusReason);
    });
    Refresh();
}

void FormVideoFormat::BuildControls() {
    frame_ = new QFrame(this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    frame_->setFrameShape(QFrame::StyledPanel);
    frame_->setFrameShadow(QFrame::Sunken);

    auto label = [this](QWidget* parent, const char* text) {
        auto* result = new QLabel(tr(text), parent);
        labels_.append(result);
        return result;
    };
    // The captions carry access keys: Alt and the underlined letter moves to the control.
    label(frame_, QT_TR_NOOP("Output &Format:"));
    label(frame_, QT_TR_NOOP("Video &Size:"));
    label(frame_, QT_TR_NOOP("&Width:"));
    label(frame_, QT_TR_NOOP("&Height:"));
    label(frame_, QT_TR_NOOP("&Video Quality:"));
    label(frame_, QT_TR_NOOP("&Audio Quality:"));
    label(this, QT_TR_NOOP("&Destination:"));
    label(this, QT_TR_NOOP("C&PU Cores:"));

    comboFormat_ = new ProfileComboBox(frame_);
    comboFormat_->setObjectName(QStringLiteral("ComboFormat"));
    comboSize_ = new QComboBox(frame_);
    comboSize_->setObjectName(QStringLiteral("ComboSize"));
    comboSize_->addItems(FormatDialogModel::SizeEntries());
    comboSize_->setMaxVisibleItems(FormatDialogModel::SizeEntries().size());

    auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    textW_ = new QLineEdit(frame_);
    textW_->setObjectName(QStringLiteral("TextW"));
    textH_ = new QLineEdit(frame_);
    textH_->setObjectName(QStringLiteral("TextH"));
    for (QLineEdit* box : {textW_, textH_}) {
        // The key filter discards typed characters; the validator keeps pasted text to
        // digits as well.
        box->setValidator(digits);
        box->installEventFilter(this);
    }

    comboVideoQ_ = new QComboBox(frame_);
    comboVideoQ_->setObjectName(QStringLiteral("ComboVideoQ"));
    comboVideoQ_->addItems(FormatDialogModel::QualityEntries());
    comboAudioQ_ = new QComboBox(frame_);
    comboAudioQ_->setObjectName(QStringLiteral("ComboAudioQ"));
    comboAudioQ_->addItems(FormatDialogModel::QualityEntries());

    btnMore_ = new QPushButton(frame_);
    btnMore_->setObjectName(QStringLiteral("BtnMore"));
    btnMore_->setAutoDefault(false);

    textFolder_ = new QLineEdit(this);
    textFolder_->setObjectName(QStringLiteral("TextFolder"));
    btnBrowse_ = new QPushButton(tr("&Browse..."), this);
    btnBrowse_->setObjectName(QStringLiteral("BtnBrowse"));
    btnBrowse_->setAutoDefault(false);
    comboCpu_ = new QComboBox(this);
    comboCpu_->setObjectName(QStringLiteral("ComboCPU"));
    btnOk_ = new QPushButton(tr("OK"), this);
    btnOk_->setObjectName(QStringLiteral("BtnOK"));
    btnOk_->setDefault(true);
    btnCancel_ = new QPushButton(tr("Cancel"), this);
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnCancel_->setAutoDefault(false);

    grid_ = new SettingsGridView(&model_.Grid(), this);
    grid_->setObjectName(QStringLiteral("SettingsGrid"));

    const QList<QWidget*> named = {comboFormat_, comboSize_,   textW_,      textH_,
                                   comboVideoQ_, comboAudioQ_, textFolder_, comboCpu_};
    for (int i = 0; i < named.size(); ++i) {
        labels_[i]->setBuddy(named[i]);
        // A combo box would otherwise be read by its current text alone.
        QString name = labels_[i]->text().remove(QLatin1Char('&'));
        if (name.endsWith(QLatin1Char(':'))) {
            name.chop(1);
        }
        named[i]->setAccessibleName(name);
    }

    connect(comboFormat_, &ProfileComboBox::dropDownRequested, this, [this] { ShowProfileMenu(); });
    connect(comboSize_, &QComboBox::activated, this,
            [this](int index) { model_.SelectSize(index); });
    connect(textW_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.SetWidthText(text); });
    connect(textH_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.SetHeightText(text); });
    connect(comboVideoQ_, &QComboBox::activated, this,
            [this](int index) { model_.SelectVideoQuality(index); });
    connect(comboAudioQ_, &QComboBox::activated, this,
            [this](int index) { model_.SelectAudioQuality(index); });
    connect(comboCpu_, &QComboBox::activated, this, [this](int index) { model_.SelectCpu(index); });
    connect(textFolder_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.SetDestinationFolder(text); });
    connect(btnBrowse_, &QPushButton::clicked, this, [this] { Browse(); });
    connect(btnMore_, &QPushButton::clicked, this, [this] { model_.ToggleMore(); });
    connect(btnOk_, &QPushButton::clicked, this, [this] { emit okRequested(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { reject(); });
}

void FormVideoFormat::BuildProfileMenu() {
    formatMenu_ = new QMenu(this);
    formatMenu_->setObjectName(QStringLiteral("FormatMenu"));
    QHash<int, QMenu*> menus;
    for (const ostrel::ProfileMenu& entry : AllProfileMenus()) {
        QMenu* parentMenu = entry.ParentId == 0 ? formatMenu_ : menus.value(entry.ParentId);
        if (parentMenu == nullptr) {
            continue;
        }
        QMenu* menu = parentMenu->addMenu(MenuText(entry.Caption));
        menu->setToolTipsVisible(true);
        menus.insert(entry.CommandId, menu);
    }
    for (const ProfileEntry& profile : AllProfiles()) {
        QMenu* menu = menus.value(profile.MenuId, formatMenu_);
        QAction* action = menu->addAction(MenuText(profile.Caption));
        action->setData(profile.CommandId);
        action->setObjectName(QString::fromLatin1(profile.CommandName));
        if (const DeviceLimits* device = FindDeviceLimits(profile.CommandId)) {
            action->setToolTip(DeviceSummary(*device));
        }
        const int commandId = profile.CommandId;
        connect(action, &QAction::triggered, this,
                [this, commandId] { model_.ApplyProfileById(commandId); });
    }
}

void FormVideoFormat::PlaceControls() {
    frame_->setGeometry(FromTwips(225, 150, 6750, 4140));
    PlaceLabel(labels_[0], 210, 390, 1290, 210, 1755);
    PlaceLabel(labels_[1], 210, 960, 900, 210, 1755);
    PlaceLabel(labels_[2], 1800, 1560, 555, 210, 2460);
    PlaceLabel(labels_[3], 3810, 1560, 600, 210, 4500);
    PlaceLabel(labels_[4], 210, 2130, 1140, 210, 1755);
    PlaceLabel(labels_[5], 195, 2670, 1140, 210, 1755);
    PlaceLabel(labels_[6], 285, 4575, 975, 210, 1320);
    PlaceLabel(labels_[7], 285, 5145, 900, 210, 1320);
    grid_->setGeometry(FromTwips(kGridLeftTwips, kGridTopTwips, kGridWidthTwips, kGridHeightTwips));
    // The controls in tab order, which follows the form from top to bottom, with their design
    // rectangles in twips: left, top, width, height.
    const struct {
        QWidget* control;
        int left, top, width, height;
    } places[] = {
        {comboFormat_, 1755, 360, 4785, 330},  {comboSize_, 1755, 937, 4785, 330},
        {textW_, 2460, 1514, 1005, 315},       {textH_, 4500, 1514, 1005, 315},
        {comboVideoQ_, 1755, 2076, 4785, 330}, {comboAudioQ_, 1755, 2655, 4785, 330},
        {btnMore_, 4980, 3405, 1455, 405},     {textFolder_, 1320, 4530, 4320, 315},
        {btnBrowse_, 5730, 4485, 1260, 390},   {comboCpu_, 1320, 5100, 795, 330},
        {btnOk_, 2880, 5070, 1455, 405},       {btnCancel_, 4605, 5070, 1455, 390},
    };
    for (std::size_t i = 0; i < std::size(places); ++i) {
        const auto& place = places[i];
        place.control->setGeometry(FromTwips(place.left, place.top, place.width, place.height));
        if (i > 0) {
            setTabOrder(places[i - 1].control, place.control);
        }
    }
    // The grid, when it is shown, comes after the left half.
    setTabOrder(btnCancel_, grid_->Tree());
    QWidget* const named[] = {comboFormat_, comboSize_,   textW_,      textH_,
                              comboVideoQ_, comboAudioQ_, textFolder_, comboCpu_};
    for (int i = 0; i < labels_.size(); ++i) {
        FitControlAfterLabel(labels_[i], named[i]);
    }
    FitEditBeforeLabel(textW_, labels_[3]);
    FitButtonAfterEdit(btnBrowse_, textFolder_);
}

void FormVideoFormat::ShowProfileMenu() {
    // The menu opens with its top-left corner at the box's bottom-left corner.
    formatMenu_->popup(comboFormat_->mapToGlobal(QPoint(0, comboFormat_->height())));
}

void FormVideoFormat::Refresh() {
    const OutputSettings& settings = model_.Settings();
    {
        const QSignalBlocker blocker(comboFormat_);
        if (comboFormat_->count() != 1 || comboFormat_->itemText(0) != model_.FormatCaption()) {
            comboFormat_->clear();
            comboFormat_->addItem(model_.FormatCaption());
        }
        comboFormat_->setCurrentIndex(0);
    }
    {
        const QSignalBlocker blocker(comboSize_);
        comboSize_->setCurrentIndex(settings.SizeIndex);
        comboSize_->setEnabled(model_.IsSizeEnabled());
    }
    SetTextIfDifferent(textW_, settings.Width);
    SetTextIfDifferent(textH_, settings.Height);
    textW_->setEnabled(model_.IsWidthEnabled());
    textH_->setEnabled(model_.IsHeightEnabled());
    {
        const QSignalBlocker videoBlocker(comboVideoQ_);
        const QSignalBlocker audioBlocker(comboAudioQ_);
        comboVideoQ_->setCurrentIndex(settings.VideoQuality);
        comboAudioQ_->setCurrentIndex(settings.AudioQuality);
        comboVideoQ_->setEnabled(model_.IsVideoQualityEnabled());
        comboAudioQ_->setEnabled(model_.IsAudioQualityEnabled());
    }
    {
        const QSignalBlocker blocker(comboCpu_);
        QStringList current;
        for (int i = 0; i < comboCpu_->count(); ++i) {
            current.append(comboCpu_->itemText(i));
        }
        if (current != model_.CpuChoices()) {
            comboCpu_->clear();
            comboCpu_->addItems(model_.CpuChoices());
        }
        comboCpu_->setCurrentIndex(model_.CpuIndex());
    }
    SetTextIfDifferent(textFolder_, settings.DestinationFolder);
    btnMore_->setText(QLatin1Char('&') + model_.MoreButtonText());
    grid_->setVisible(model_.IsGridExpanded());
    ApplyWidth();
}

void FormVideoFormat::ApplyWidth() {
    // The designed widths are outer widths; the window frame, when there is one, is taken
    // off so that the whole window has the designed size.
    const int frameWidth = qMax(0, frameGeometry().width() - geometry().width());
    const int clientHeight = TwipsToPixels(kClientHeightTwips);
    // On a screen narrower than the expanded dialog (a small or scaled screen) the dialog takes
    // the screen's width and the grid gives up what is missing.
    // Captions longer than designed (a translation) widen the grid and the dialog with it.
    const QRect grid = FromTwips(kGridLeftTwips, kGridTopTwips, kGridWidthTwips, kGridHeightTwips);
    const int extra =
        model_.IsGridExpanded() ? qMax(0, grid_->WidthForWholeCaptions() - grid.width()) : 0;
    int outerWidth = model_.DialogWidthPixels() + extra;
    if (screen() != nullptr) {
        outerWidth = qMin(outerWidth, screen()->availableGeometry().width());
    }
    const int clientWidth = outerWidth - frameWidth;
    grid_->setGeometry(grid.left(), grid.top(),
                       qMin(grid.width() + extra, clientWidth - grid.left() - 4), grid.height());
    setFixedSize(clientWidth, clientHeight);
    // Grown near the right edge (or on a small screen), the dialog moves left or up so that
    // the whole of it stays in sight.
    if (isVisible()) {
        KeepOnScreen(this);
    }
}

QString FormVideoFormat::CheckOutputFolder() {
    // A relative or "~" folder is made absolute first, so that the rows, the open-folder
    // requests and the stored folder all name the same place wherever the program started.
    const QString folder = NormaliseOutputFolder(FormatDialogModel::AbsoluteDestination(
        model_.Settings().DestinationFolder, QDir::homePath()));
    model_.SetDestinationFolder(folder);
    if (IsAcceptedOutputFolder(folder)) {
        return folder;
    }
    errorMessage_(this, tr("Error"), tr("Invalid path!"));
    textFolder_->setFocus(Qt::OtherFocusReason);
    Browse();
    return {};
}

void FormVideoFormat::Browse() {
    const QString chosen = folderChooser_(this);
    if (!chosen.isEmpty()) {
        model_.SetDestinationFolder(chosen);
    }
}

void FormVideoFormat::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ApplyWidth();
}

void FormVideoFormat::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // A window manager reports its frame only after the window is placed; the width is
    // measured again then so that the outer width stays the designed one.
    ApplyWidth();
}

bool FormVideoFormat::eventFilter(QObject* watched, QEvent* event) {
    if (watched == textW_ || watched == textH_) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            // Only typed characters are filtered: a digit or Backspace goes through, any
            // other character is discarded. Keys without text (arrows, Tab) work as usual.
            if (!text.isEmpty() && text.at(0).isPrint() &&
                !FormatDialogModel::FilterSizeKey(text.at(0))) {
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            const auto* focus = static_cast<QFocusEvent*>(event);
            // Switching to another window or opening a menu is not leaving the box.
            if (focus->reason() != Qt::ActiveWindowFocusReason &&
                focus->reason() != Qt::PopupFocusReason) {
                if (watched == textW_) {
                    model_.LeaveWidth();
                } else {
                    model_.LeaveHeight();
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace ostrel

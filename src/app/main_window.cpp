#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "app/app_shell.h"
#include "app/conversion_ui.h"
#include "app/file_list_view.h"
#include "app/form_flash.h"
#include "app/form_player.h"
#include "app/form_wait.h"
#include "app/icons.h"
#include "app/ui_poster.h"
#include "app/update_check.h"
#include "common/engine_path.h"
#include "common/file_info.h"
#include "common/messages.h"
#include "common/settings_store.h"
#include "engine/engine.h"
#include "engine/loader/engine_loader.h"
#include "filelist/file_adder.h"
#include "filelist/folder_walk.h"
#include "filelist/list_store.h"

namespace ostrel {
namespace {

// 10320 x 7020 twips.
constexpr int kClientWidth = 688;
constexpr int kClientHeight = 468;
constexpr int kTotalFilesPaneWidth = 150;
constexpr int kTotalDurationPaneWidth = 200;
constexpr qint64 kEventPumpIntervalMs = 15;
// Changes to the list are written together, this long after the last one.
constexpr int kListSaveDelayMs = 500;

// The busy mouse pointer for as long as it lives.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QString WithTrailingSeparator(const QString& folder) {
    QString path = QDir::fromNativeSeparators(folder);
    if (!path.endsWith(u'/')) {
        path += u'/';
    }
    return path;
}

}  // namespace

QString SkippedFilesText(int skippedFiles, int unreadableFolders) {
    QStringList parts;
    if (skippedFiles > 0) {
        parts << QCoreApplication::translate("ostrel::MainWindow",
                                             "%1 file(s) were not added: they are not media "
                                             "files or cannot be opened.")
                     .arg(skippedFiles);
    }
    if (unreadableFolders > 0) {
        parts << QCoreApplication::translate("ostrel::MainWindow",
                                             "%1 folder(s) could not be read.")
                     .arg(unreadableFolders);
    }
    return parts.join(u' ');
}

EngineBinding EngineBinding::Module() {
    EngineBinding binding;
    binding.IsLoaded = [] { return IsEngineLoaded(); };
    binding.Load = [](const QString& folder) { return LoadEngine(ToEnginePath(folder)); };
    binding.CreateEncoder = [] { return ostrel::CreateEncoder(); };
    binding.CreateDecoder = [] { return ostrel::CreateDecoder(); };
    binding.CreatePlayer = [] { return ostrel::CreatePlayer(); };
    return binding;
}

MainWindow::MainWindow(Shell& shell, EngineBinding engine, const QString& appFolder,
                       QWidget* parent)
    : QMainWindow(parent),
      shell_(shell),
      engineBinding_(std::move(engine)),
      appFolder_(WithTrailingSeparator(appFolder)) {
    setWindowTitle(kApplicationTitle);
    resize(kClientWidth, kClientHeight);
}

MainWindow::~MainWindow() {
    // The conversion road holds a reference to the encoder and the view one to the model:
    // both go before the members they use.
    delete conversion_;
    conversion_ = nullptr;
    delete listView_;
    listView_ = nullptr;
}

void MainWindow::SetStatePaths(const QString& listPath, const QString& journalPath) {
    listPath_ = listPath;
    journalPath_ = journalPath;
}

void MainWindow::SaveList() {
    if (!listPath_.isEmpty()) {
        SaveFileList(listPath_, model_.Rows());
    }
}

bool MainWindow::Start() {
    // The list fills what the bars leave free.
    listView_ = new FileListView(this);
    listView_->setAccessibleName(tr("Files"));
    listView_->SetListModel(&model_);
    setCentralWidget(listView_);
    connect(listView_, &FileListView::filesDropped, this, &MainWindow::AddDroppedFiles);
    connect(listView_, &FileListView::contextMenuWanted, this, &MainWindow::ShowContextMenu);
    lastFolder_.clear();

    RegisterCommands();
    bars_ = BuildCommandBars(*this, dispatcher_);
    ApplySkin();
    // Tab runs from the list through the toolbar's buttons in their order and back; the list
    // has the focus first.
    QWidget* previous = listView_;
    for (const int id : CommandBars().Toolbar) {
        if (QWidget* button = bars_.Toolbar->widgetForAction(bars_.ToolbarActions.value(id))) {
            setTabOrder(previous, button);
            previous = button;
        }
    }
    listView_->setFocus(Qt::OtherFocusReason);

    // The two totals panes and the timer that keeps them current. The panes have their designed
    // widths and grow for a longer (translated) text.
    totalFilesPane_ = new QLabel(totals_.FilesText(), this);
    totalFilesPane_->setMinimumWidth(kTotalFilesPaneWidth);
    totalDurationPane_ = new QLabel(totals_.DurationText(), this);
    totalDurationPane_->setMinimumWidth(kTotalDurationPaneWidth);
    statusBar()->addWidget(totalFilesPane_);
    statusBar()->addWidget(totalDurationPane_);
    statusBar()->setVisible(true);
    totalsTimer_ = new QTimer(this);
    totalsTimer_->setInterval(kTotalsIntervalMs);
    connect(totalsTimer_, &QTimer::timeout, this, &MainWindow::RefreshTotals);
    totalsTimer_->start();

    if (!BindEngine()) {
        return false;
    }
    OfferUpdateCheck();
    setWindowIcon(AppIcon());

    // The list of the last session comes back as it was, and every change is written soon
    // after it is made.
    if (!listPath_.isEmpty()) {
        model_.AppendRows(LoadFileList(listPath_));
        saveTimer_ = new QTimer(this);
        saveTimer_->setSingleShot(true);
        saveTimer_->setInterval(kListSaveDelayMs);
        connect(saveTimer_, &QTimer::timeout, this, &MainWindow::SaveList);
        const auto changed = [this] { saveTimer_->start(); };
        connect(&model_, &QAbstractItemModel::rowsInserted, saveTimer_, changed);
        connect(&model_, &QAbstractItemModel::rowsRemoved, saveTimer_, changed);
        connect(&model_, &QAbstractItemModel::rowsMoved, saveTimer_, changed);
        connect(&model_, &QAbstractItemModel::modelReset, saveTimer_, changed);
        connect(&model_, &QAbstractItemModel::dataChanged, saveTimer_, changed);
        connect(&model_, &QAbstractItemModel::layoutChanged, saveTimer_, changed);
    }
    if (!journalPath_.isEmpty() && conversion_ != nullptr) {
        conversion_->SetJournalPath(journalPath_);
        // Once the window is up, so the question and the progress window stand over it.
        QTimer::singleShot(0, this, [this] {
            conversion_->OfferResume(
                [this](const QString& question) { return shell_.AskYesNo(this, question); });
        });
    }
    return true;
}

void MainWindow::RegisterCommands() {
    dispatcher_.Register(ID_ADDFILES, [this] { AddFilesDialog(); });
    dispatcher_.Register(ID_ADDFOLDER, [this] { AddFolderDialog(); });
    dispatcher_.Register(ID_EXIT, [this] { ExitConfirmed(); });
    dispatcher_.Register(ID_SELECTALL, [this] { FocusListIf(model_.SelectAll()); });
    dispatcher_.Register(ID_INVERTSELECTION, [this] { FocusListIf(model_.InvertSelection()); });
    dispatcher_.Register(ID_REMOVESELECTEDFILES, [this] { FocusListIf(model_.RemoveSelected()); });
    dispatcher_.Register(ID_CLEARALL, [this] { model_.ClearAll(); });
    dispatcher_.Register(ID_UP, [this] { FocusListIf(model_.MoveUp()); });
    dispatcher_.Register(ID_DOWN, [this] { FocusListIf(model_.MoveDown()); });
    dispatcher_.Register(ID_JOINTB, [this] { Convert(); });
    dispatcher_.Register(ID_PLAY, [this] { Play(); });
    dispatcher_.Register(ID_HELPCONTENTS, [this] { OpenHelp(); });
    dispatcher_.Register(ID_WEBSITE, [this] { OpenWebsite(); });
    dispatcher_.Register(ID_ABOUT, [this] { ShowAbout(); });
}

void MainWindow::Dispatch(int commandId) {
    dispatcher_.Dispatch(commandId);
}

void MainWindow::ApplySkin() {
    // An optional style sheet beside the program; without it the platform look stays.
    QFile skin(appFolder_ + QStringLiteral("skin.qss"));
    if (skin.open(QIODevice::ReadOnly | QIODevice::Text)) {
        setStyleSheet(QString::fromUtf8(skin.readAll()));
    }
}

bool MainWindow::BindEngine() {
    outputFolder_ = ReadSetting(kSettingOutPath);
    const auto answers = [](const std::function<bool()>& ask) {
        try {
            return ask && ask();
        } catch (...) {
            return false;
        }
    };
    const bool loaded =
        answers(engineBinding_.IsLoaded) || answers([this] {
            return engineBinding_.Load &&
                   engineBinding_.Load(appFolder_ + QString::fromLatin1(engine::kEngineFolderName));
        });
    if (loaded) {
        encoder_ = engineBinding_.CreateEncoder ? engineBinding_.CreateEncoder() : nullptr;
        decoder_ = engineBinding_.CreateDecoder ? engineBinding_.CreateDecoder() : nullptr;
    }
    if (encoder_ == nullptr || decoder_ == nullptr) {
        shell_.Inform(this, MessageIcon::Error, tr(kEngineMissingSource));
        ending_ = true;
        shell_.EndProcess();
        return false;
    }
    encoder_->SetEventPoster(UiThreadPoster());
    conversion_ = new ConversionUi(this, *encoder_, outputFolder_);
    return true;
}

void MainWindow::OfferUpdateCheck() {
    const QDate today = QDate::currentDate();
    if (!UpdatePromptDue(ReadSetting(kSettingLastCheckUpdate), today)) {
        return;
    }
    if (shell_.AskYesNo(this, tr(kUpdatePromptSource))) {
        OpenWebsite();
    }
    WriteSetting(kSettingLastCheckUpdate, LastCheckText(today));
}

void MainWindow::OpenWebsite() {
    shell_.OpenUrl(QUrl(kWebsiteUrl));
}

void MainWindow::RefreshTotals() {
    if (totals_.Refresh(model_)) {
        totalFilesPane_->setText(totals_.FilesText());
        totalDurationPane_->setText(totals_.DurationText());
    }
}

void MainWindow::FocusListIf(bool listChanged) {
    if (listChanged && listView_ != nullptr) {
        listView_->setFocus();
    }
}

void MainWindow::ShowContextMenu(const QPoint& globalPos) {
    if (bars_.ContextMenu != nullptr) {
        bars_.ContextMenu->popup(globalPos);
    }
}

void MainWindow::AddFilesDialog() {
    const QStringList paths = shell_.ChooseFiles(this, lastFolder_, OpenFilterNameFilters());
    if (!paths.isEmpty()) {
        lastFolder_ = WithTrailingSeparator(QFileInfo(paths.last()).absolutePath());
        const BusyCursor busy;
        if (paths.size() == 1) {
            AddOne(paths.first());
        } else {
            AddPaths(paths, Folders::Probe);
        }
    }
    // Also after a cancelled dialog: only the last row stays selected.
    model_.SelectOnlyLast();
}

void MainWindow::AddFolderDialog() {
    const QString folder = shell_.ChooseFolder(this, lastFolder_);
    if (folder.isEmpty()) {
        return;
    }
    lastFolder_ = WithTrailingSeparator(folder);
    const BusyCursor busy;
    AddPaths({folder}, Folders::Walk);
    model_.SelectOnlyLast();
}

void MainWindow::AddDroppedFiles(const QStringList& paths) {
    AddPaths(paths, Folders::Walk);
}

void MainWindow::AddPaths(const QStringList& paths, Folders folders) {
    if (paths.isEmpty()) {
        return;
    }
    ++addDepth_;
    if (formWait_ == nullptr) {
        formWait_ = new FormWait(this);
    }
    formWait_->show();
    QCoreApplication::processEvents();
    // Window events run between files, at most about once per frame: often enough that the
    // window answers at once, rarely enough that a thousand short files are not slowed down
    // by a thousand repaints of the list.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    const auto pumpEvents = [&sinceEvents] {
        if (sinceEvents.elapsed() >= kEventPumpIntervalMs) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    };
    // Folders are walked first, so that the wait window can count against the whole total.
    // Files found in folders that are not media files are counted, and told once at the end.
    int skipped = 0;
    int unreadable = 0;
    // A file named directly is told about when it is refused; one found in a folder is counted.
    struct Pending {
        FoundFile File;
        bool Quiet = false;
    };
    QList<Pending> pending;
    for (const QString& path : paths) {
        if (closing_ || ending_) {
            break;
        }
        if (folders != Folders::Walk || KindOf(path) != FileKind::Folder) {
            pending.append({{path, QString()}, false});
            continue;
        }
        const FolderWalk walk = WalkFolder(path);
        skipped += walk.SkippedFiles;
        unreadable += walk.UnreadableFolders;
        for (const FoundFile& found : walk.Files) {
            pending.append({found, true});
        }
        pumpEvents();
    }
    const auto total = static_cast<int>(pending.size());
    formWait_->ShowCount(0, total);
    for (int i = 0; i < total; ++i) {
        // The window closed or Exit was confirmed while events ran: the rest is not wanted.
        if (closing_ || ending_) {
            break;
        }
        const Pending& next = pending[i];
        if (!AddOne(next.File.Path, next.File.RelativeFolder, next.Quiet) && next.Quiet) {
            ++skipped;
        }
        formWait_->ShowCount(i + 1, total);
        pumpEvents();
    }
    QCoreApplication::processEvents();
    --addDepth_;
    if ((skipped > 0 || unreadable > 0) && !closing_ && !ending_) {
        shell_.Inform(this, MessageIcon::Information, SkippedFilesText(skipped, unreadable));
    }
    if (addDepth_ == 0 && formWait_ != nullptr) {
        // The wait window may have taken the focus; the list's window gets it back.
        const bool waitWasActive = QApplication::activeWindow() == formWait_;
        formWait_->close();
        if (waitWasActive && isVisible()) {
            activateWindow();
        }
    }
}

bool MainWindow::AddOne(const QString& path, const QString& relativeFolder, bool quiet) {
    if (decoder_ == nullptr) {
        return true;
    }
    const AddResult result = ProbeAndAdd(model_, *decoder_, path, relativeFolder);
    if (result.Outcome != AddOutcome::Rejected) {
        return true;
    }
    if (!quiet) {
        shell_.Inform(this, MessageIcon::Error, result.Message);
    }
    return false;
}

void MainWindow::Convert() {
    if (model_.Count() == 0) {
        shell_.Inform(this, MessageIcon::Information, tr(kEmptyListSource));
        AddFilesDialog();
        return;
    }
    if (conversion_ != nullptr) {
        conversion_->Convert(model_.Rows());
    }
}

void MainWindow::Play() {
    const int current = model_.CurrentRow();
    if (current < 0 || model_.Row(current).FileName.isEmpty()) {
        return;
    }
    // A new window each time; it reads the current row itself and closes its media on closing.
    FormPlayer player(shell_, engineBinding_, appFolder_, model_, this);
    if (player.Load()) {
        shell_.RunModal(player);
    }
}

void MainWindow::OpenHelp() {
    shell_.OpenUrl(QUrl::fromLocalFile(appFolder_ + QStringLiteral("help.html")));
}

void MainWindow::ShowAbout() {
    FormFlash flash(this, [this] { OpenWebsite(); });
    shell_.RunModal(flash);
}

void MainWindow::ExitConfirmed() {
    if (!shell_.AskYesNo(this, tr(kExitSource))) {
        return;
    }
    ending_ = true;
    SaveList();
    shell_.EndProcess();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!ending_ && !closing_) {
        closing_ = true;
        if (conversion_ != nullptr) {
            conversion_->StopEncoder();
        }
        WriteSetting(kSettingOutPath, outputFolder_);
        SaveList();
    }
    event->accept();
}

}  // namespace ostrel

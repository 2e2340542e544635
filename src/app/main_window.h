// The main window: start-up and shutdown of the program, its commands and the file list.
// It shows the list model and forwards commands to it; the desktop (messages, the open
// dialog, addresses) and the media engine are handed in, so tests can drive it headless.
#pragma once

#include <QDate>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/command_bars.h"
#include "app/commands.h"
#include "filelist/file_list_model.h"

class QLabel;
class QTimer;

namespace ostrel {

namespace engine {
class Decoder;
class Encoder;
class Player;
}  // namespace engine

class ConversionUi;
class FileListView;
class FormWait;
class Shell;

// How the window reaches the media engine. Module() binds LibAV/libostrel-engine.so.
struct EngineBinding {
    std::function<bool()> IsLoaded;
    std::function<bool(const QString& folder)> Load;
    std::function<std::unique_ptr<engine::Encoder>()> CreateEncoder;
    std::function<std::unique_ptr<engine::Decoder>()> CreateDecoder;
    // Null, or a null player, when the engine cannot play: the player window says so.
    std::function<std::unique_ptr<engine::Player>()> CreatePlayer;

    static EngineBinding Module();
};

// The English texts; the windows show them through tr().
inline constexpr char kEngineMissingSource[] =
    QT_TRANSLATE_NOOP("ostrel::MainWindow", "Video lib not found");
inline constexpr char kEmptyListSource[] =
    QT_TRANSLATE_NOOP("ostrel::MainWindow", "Please add file to the list.");
inline constexpr char kExitSource[] =
    QT_TRANSLATE_NOOP("ostrel::MainWindow", "Do you want to exit?");
inline const QString kEngineMissingText = QString::fromLatin1(kEngineMissingSource);
inline const QString kEmptyListText = QString::fromLatin1(kEmptyListSource);
inline const QString kExitQuestion = QString::fromLatin1(kExitSource);
// Shown once after adding folders, when some of their files were not added.
QString SkippedFilesText(int skippedFiles, int unreadableFolders);

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr int kTotalsIntervalMs = 300;

    // appFolder is the program's folder: the engine folder, help.html and skin.qss are there.
    MainWindow(Shell& shell, EngineBinding engine, const QString& appFolder,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Where the list is kept between sessions and where runs keep their journal (the per-user
    // state folder); set before Start. Without them the list starts empty and runs keep no
    // journal.
    void SetStatePaths(const QString& listPath, const QString& journalPath);
    // Writes the list now (it is otherwise written shortly after each change).
    void SaveList();

    // The start-up sequence. False when the engine could not be bound: the user has been
    // told and the process must end without showing the window.
    bool Start();

    // Every command, from menus, toolbar, context menu and shortcuts, arrives here.
    void Dispatch(int commandId);

    // The Add Files command: the open dialog, then the chosen files are probed.
    void AddFilesDialog();
    // The Add Folder command: the folder dialog, then every media file under the folder.
    void AddFolderDialog();
    // Files dropped onto the list: a folder adds every media file under it; the selection stays
    // as it is.
    void AddDroppedFiles(const QStringList& paths);

    // One tick of the totals timer.
    void RefreshTotals();

    FileListModel& Model() { return model_; }
    const ListTotals& Totals() const { return totals_; }
    FileListView* ListView() const { return listView_; }
    const BuiltCommandBars& Bars() const { return bars_; }
    QLabel* TotalFilesPane() const { return totalFilesPane_; }
    QLabel* TotalDurationPane() const { return totalDurationPane_; }
    const QString& AppFolder() const { return appFolder_; }
    const QString& LastFolder() const { return lastFolder_; }
    QString& OutputFolder() { return outputFolder_; }

    // None: Qt's menu of the window's bars would let the toolbar be hidden for good.
    QMenu* createPopupMenu() override { return nullptr; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void RegisterCommands();
    void ApplySkin();
    bool BindEngine();
    void OfferUpdateCheck();
    void OpenWebsite();
    void Convert();
    void Play();
    void OpenHelp();
    void ShowAbout();
    void ExitConfirmed();
    void FocusListIf(bool listChanged);
    void ShowContextMenu(const QPoint& globalPos);
    // Probes the paths one by one with the wait window up, letting window events run
    // between them.
    // A folder among paths adds every media file under it when folders is Walk; otherwise it
    // goes to the decoder, which refuses it, as any path the open dialog returns.
    enum class Folders : int { None = 0, Probe, Walk };
    void AddPaths(const QStringList& paths, Folders folders);
    // Returns false when the file was not added because the decoder rejected it; quiet
    // leaves the message to the caller.
    bool AddOne(const QString& path, const QString& relativeFolder = QString(), bool quiet = false);

    Shell& shell_;
    EngineBinding engineBinding_;
    QString appFolder_;
    QString outputFolder_;
    QString lastFolder_;

    FileListModel model_;
    ListTotals totals_;
    CommandDispatcher dispatcher_;
    BuiltCommandBars bars_;
    FileListView* listView_ = nullptr;
    QLabel* totalFilesPane_ = nullptr;
    QLabel* totalDurationPane_ = nullptr;
    QTimer* totalsTimer_ = nullptr;
    FormWait* formWait_ = nullptr;

    std::unique_ptr<engine::Encoder> encoder_;
    std::unique_ptr<engine::Decoder> decoder_;
    ConversionUi* conversion_ = nullptr;

    QString listPath_;
    QString journalPath_;
    QTimer* saveTimer_ = nullptr;

    int addDepth_ = 0;
    bool ending_ = false;   // a confirmed Exit: no closing steps
    bool closing_ = false;  // the closing steps ran
};

}  // namespace ostrel

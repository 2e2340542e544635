// The main window driven through its dispatcher and model, headless. A fake engine stands in
// where real media is not the point; the real engine module probes generated clips where it is.
#include <sys/stat.h>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "app/app_shell.h"
#include "app/file_list_view.h"
#include "app/form_flash.h"
#include "app/form_wait.h"
#include "app/format_dialog.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/settings_grid_view.h"
#include "app/update_check.h"
#include "common/engine_path.h"
#include "common/settings_store.h"
#include "fake_engine.h"
#include "profiles/settings_grid_model.h"
#include "pseudo_translation.h"
#include "shown_text.h"

using namespace ostrel;
using ostrel::testing::FakeEngine;
using ostrel::testing::FakeMedia;
using ostrel::testing::Lengthening;
using ostrel::testing::PseudoFaults;
using ostrel::testing::Shown;

namespace {

// Answers the window's questions from a script and records everything it was asked.
class RecordingShell : public Shell {
  public:
    struct Message {
        MessageIcon Icon;
        QString Text;
    };
    QList<Message> messages;
    QStringList questions;
    bool answerYes = false;
    QList<QStringList> chooseResults;  // one per dialog; empty when cancelled
    QStringList folderResults;         // one per folder dialog
    QStringList dialogFolders;
    QStringList lastFilters;
    QList<QUrl> openedUrls;
    int modalCount = 0;
    QStringList modalTitles;
    int endCount = 0;

    void Inform(QWidget*, MessageIcon icon, const QString& text) override {
        messages.append({icon, text});
    }
    bool AskYesNo(QWidget*, const QString& text) override {
        questions.append(text);
        return answerYes;
    }
    QStringList ChooseFiles(QWidget*, const QString& folder, const QStringList& filters) override {
        dialogFolders.append(folder);
        lastFilters = filters;
        return chooseResults.isEmpty() ? QStringList() : chooseResults.takeFirst();
    }
    QString ChooseFolder(QWidget*, const QString& folder) override {
        dialogFolders.append(folder);
        return folderResults.isEmpty() ? QString() : folderResults.takeFirst();
    }
    void OpenUrl(const QUrl& url) override { openedUrls.append(url); }
    void RunModal(QDialog& dialog) override {
        ++modalCount;
        modalTitles.append(dialog.windowTitle());
    }
    void EndProcess() override { ++endCount; }
};

QStringList ActionTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions) {
        texts.append(action->isSeparator() ? QStringLiteral("|") : Shown(action->text()));
    }
    return texts;
}

QStringList FileNames(const FileListModel& model) {
    QStringList names;
    for (const FileRow& row : model.Rows()) {
        names.append(row.FileName);
    }
    return names;
}

bool RunFfmpeg(const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} +
                     arguments);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir settingsDir_;
    QTemporaryDir mediaDir_;
    RecordingShell shell_;
    FakeEngine engine_;
    std::unique_ptr<MainWindow> window_;

    // A started window on the fake engine; the update prompt is not due.
    MainWindow& Started(const QString& stateFolder = QString()) {
        WriteSetting(kSettingLastCheckUpdate, LastCheckText(QDate::currentDate()));
        window_ = std::make_unique<MainWindow>(shell_, engine_.Binding(), mediaDir_.path());
        if (!stateFolder.isEmpty()) {
            window_->SetStatePaths(stateFolder + QStringLiteral("/list.json"),
                                   stateFolder + QStringLiteral("/journal"));
        }
        if (!window_->Start()) {
            qFatal("start-up failed");
        }
        return *window_;
    }

    QString MediaPath(const QString& name) const { return mediaDir_.filePath(name); }

    // Selects a row as a click with Ctrl would: through the view, which tells the model.
    static void ClickRow(MainWindow& window, int row, bool makeCurrent) {
        QItemSelectionModel* selection = window.ListView()->selectionModel();
        const QModelIndex index = window.Model().index(row, 0);
        if (makeCurrent) {
            selection->setCurrentIndex(index,
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        } else {
            selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    // Rows made by the fake decoder for a, b, c...; none of these files exist.
    void AddFakeRows(MainWindow& window, int count) {
        QStringList paths;
        for (int index = 0; index < count; ++index) {
            paths.append(QStringLiteral("/media/clip%1.mp4").arg(index + 1));
        }
        window.AddDroppedFiles(paths);
        QCOMPARE(window.Model().Count(), count);
    }

  private slots:
    void initTestCase() {
        QVERIFY(settingsDir_.isValid());
        QVERIFY(mediaDir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
        // Short clips for the tests that probe real media: video with sound, sound only, and
        // bytes that are no media at all.
        QVERIFY(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-f", "lavfi",
                           "-i", "sine=frequency=440", "-t", "1", "-c:v", "mpeg4", "-c:a", "mp2",
                           "-shortest", MediaPath(QStringLiteral("clip.avi"))}));
        QVERIFY(RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=300", "-t", "1",
                           MediaPath(QStringLiteral("tone.wav"))}));
        QFile broken(MediaPath(QStringLiteral("broken.mp4")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray(4096, 'x'));
    }

    void init() {
        shell_ = RecordingShell();
        engine_ = FakeEngine();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ostrel Software"),
                  QStringLiteral("Ostrel Media Converter"))
            .clear();
    }

    void cleanup() { window_.reset(); }

    // What the window built from the command table: each menu entry's caption and key, each
    // toolbar button's caption, tooltip and icon, and nothing that is not in the table.
    void barsFollowTheCommandTable() {
        MainWindow& window = Started();
        int menuEntries = 0;
        int toolbarButtons = 0;
        for (const Command& command : CommandTable()) {
            QCOMPARE(FindCommand(command.Id), &command);
            const bool inMenus = std::ranges::any_of(
                CommandBars().Menus, [&](const auto& menu) { return menu.contains(command.Id); });
            QAction* menuAction = window.Bars().MenuActions.value(command.Id);
            QCOMPARE(menuAction != nullptr,
                     inMenus || CommandBars().ContextMenu.contains(command.Id));
            if (menuAction != nullptr) {
                ++menuEntries;
                QCOMPARE(Shown(menuAction->text()), command.Caption);
                QCOMPARE(menuAction->shortcuts(),
                         command.Shortcut.isEmpty()
                             ? QList<QKeySequence>()
                             : QKeySequence::listFromString(command.Shortcut));
            }
            QAction* toolAction = window.Bars().ToolbarActions.value(command.Id);
            QCOMPARE(toolAction != nullptr, CommandBars().Toolbar.contains(command.Id));
            if (toolAction != nullptr) {
                ++toolbarButtons;
                QCOMPARE(toolAction->text(), command.ToolbarCaption);
                QCOMPARE(toolAction->toolTip(), command.Tooltip);
                QVERIFY(!toolAction->icon().isNull());
            }
        }
        QCOMPARE(window.Bars().MenuActions.size(), menuEntries);
        QCOMPARE(window.Bars().ToolbarActions.size(), toolbarButtons);
        // Every key of the table is bound to the whole window.
        for (const Command& command : CommandTable()) {
            if (!command.Shortcut.isEmpty()) {
                QVERIFY(window.actions().contains(window.Bars().MenuActions.value(command.Id)));
            }
        }
    }

    // Every menu and every entry of a menu opens by its own letter, and the letter is one of
    // the caption's.
    void accessKeysAreUniqueInEachMenu() {
        MainWindow& window = Started();
        const auto keyOf = [](const QAction* action) {
            const QString text = action->text();
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
        };
        QList<QList<QAction*>> groups{window.menuBar()->actions()};
        for (QAction* menu : window.menuBar()->actions()) {
            groups.append(menu->menu()->actions());
        }
        for (const QList<QAction*>& group : groups) {
            QList<QChar> keys;
            for (const QAction* action : group) {
                if (action->isSeparator()) {
                    continue;
                }
                const QChar key = keyOf(action);
                QVERIFY2(!key.isNull(), qPrintable(action->text()));
                QVERIFY2(!keys.contains(key), qPrintable(action->text()));
                keys.append(key);
            }
        }
    }

    // Alt+F opens the File menu, Ctrl+Return converts from the list, and Tab leaves the list
    // for the toolbar's buttons and comes back.
    void keyboardReachesEveryCommand() {
        MainWindow& window = Started();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), window.ListView());

        QTest::keyClick(window.ListView(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(shell_.messages.size(), 1);  // the empty list's reminder: Convert ran
        QCOMPARE(shell_.messages.first().Text, kEmptyListText);
        QTest::keyClick(window.ListView(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(shell_.messages.size(), 2);

        QStringList visited;
        for (int press = 0; press < 8; ++press) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != nullptr);
            const auto* button = qobject_cast<QToolButton*>(focus);
            visited.append(button != nullptr ? button->defaultAction()->text()
                                             : focus->metaObject()->className());
        }
        QCOMPARE(visited, QStringList({"Add", "Add Folder", "Remove", "Play", "Move Up",
                                       "Move Down", "Convert", "ostrel::FileListView"}));

        QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
        QMenu* file = window.menuBar()->actions().first()->menu();
        QTRY_VERIFY(file->isVisible());
        QTest::keyClick(file, Qt::Key_Escape);
    }

    // At the window's first size the eight columns are all in sight, each wide enough for its
    // header, and the user can still resize them.
    void allColumnsFitAtTheDefaultWidth() {
        MainWindow& window = Started();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AddFakeRows(window, 3);
        QHeaderView* header = window.ListView()->header();
        QCOMPARE(header->count(), 8);
        const int available = window.ListView()->viewport()->width();
        int used = 0;
        for (int column = 0; column < header->count(); ++column) {
            const QString caption = FileListModel::Columns().at(column).Header;
            QVERIFY2(
                header->sectionSize(column) >= header->fontMetrics().horizontalAdvance(caption),
                qPrintable(caption));
            QCOMPARE(header->sectionResizeMode(column), QHeaderView::Interactive);
            used += header->sectionSize(column);
        }
        QVERIFY2(used <= available, qPrintable(QStringLiteral("%1 > %2").arg(used).arg(available)));
        QVERIFY(used >= available - 8);  // and the room is used
        QCOMPARE(window.ListView()->textElideMode(), Qt::ElideMiddle);
    }

    void barsInOrder() {
        MainWindow& window = Started();
        QStringList menus;
        QList<QStringList> entries;
        for (QAction* action : window.menuBar()->actions()) {
            menus.append(Shown(action->text()));
            entries.append(ActionTexts(action->menu()->actions()));
        }
        QCOMPARE(menus, QStringList({"File", "List", "Help"}));
        QCOMPARE(entries.at(0),
                 QStringList({"Add Files", "Add Folder...", "Convert Files", "|", "Exit     "}));
        const QStringList listEntries = {"Select All", "Invert Selection", "Remove Selected Files",
                                         "Clear All"};
        QCOMPARE(entries.at(1), listEntries);
        QCOMPARE(entries.at(2), QStringList({"Help Contents", "Website", "About..."}));
        QCOMPARE(window.Bars().Toolbar->windowTitle(), QStringLiteral("Toobar"));
        QCOMPARE(ActionTexts(window.Bars().Toolbar->actions()),
                 QStringList(
                     {"Add", "Add Folder", "Remove", "Play", "Move Up", "Move Down", "Convert"}));
        QCOMPARE(ActionTexts(window.Bars().ContextMenu->actions()), listEntries);

        // A right-click below the last row, on an empty list, still opens the context menu.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* viewport = window.ListView()->viewport();
        const QPoint empty(viewport->width() / 2, viewport->height() - 5);
        QContextMenuEvent click(QContextMenuEvent::Mouse, empty, viewport->mapToGlobal(empty));
        QCoreApplication::sendEvent(viewport, &click);
        QTRY_VERIFY(window.Bars().ContextMenu->isVisible());
        window.Bars().ContextMenu->hide();
        QCOMPARE(window.windowTitle(), QStringLiteral("Ostrel Media Converter"));
        QVERIFY(!window.windowIcon().isNull());
    }

    // Keys reach the dispatcher from anywhere in the window: Delete removes the selected
    // rows, Ctrl+L clears the list without asking.
    void deleteAndCtrlL() {
        MainWindow& window = Started();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        AddFakeRows(window, 3);
        ClickRow(window, 1, true);
        QCOMPARE(window.Model().SelectedRows(), QList<int>({1}));
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.ListView(), Qt::Key_Delete);
        QCOMPARE(FileNames(window.Model()), QStringList({"/media/clip1.mp4", "/media/clip3.mp4"}));
        QTest::keyClick(window.ListView(), Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(window.Model().Count(), 0);
        QVERIFY(shell_.questions.isEmpty());
        QVERIFY(shell_.messages.isEmpty());
    }

    void moveUpDown_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("order");      // the rows' clip numbers afterwards
        QTest::addColumn<QString>("selection");  // selected rows afterwards, "1" = selected
        // Row 3 is selected as well, away from the current row: it stays selected.
        QTest::newRow("up on the first row") << 0 << int(ID_UP) << "1234"
                                             << "1010";
        QTest::newRow("down on the last row") << 3 << int(ID_DOWN) << "1234"
                                              << "0011";
        QTest::newRow("up on the second row") << 1 << int(ID_UP) << "2134"
                                              << "1010";
        QTest::newRow("down on the second row") << 1 << int(ID_DOWN) << "1324"
                                                << "0010";
        QTest::newRow("up on the last row") << 3 << int(ID_UP) << "1243"
                                            << "0010";
        QTest::newRow("no current row") << -1 << int(ID_UP) << "1234"
                                        << "0010";
    }

    void moveUpDown() {
        QFETCH(int, current);
        QFETCH(int, command);
        QFETCH(QString, order);
        QFETCH(QString, selection);
        engine_.media["/media/clip2.mp4"].DurationUs = 7'000'000;
        MainWindow& window = Started();
        AddFakeRows(window, 4);
        ClickRow(window, 2, false);
        if (current >= 0) {
            ClickRow(window, current, true);
        }
        QCOMPARE(window.Model().CurrentRow(), current);
        window.Dispatch(command);
        QString gotOrder;
        QString gotSelection;
        for (int row = 0; row < window.Model().Count(); ++row) {
            const FileRow& fileRow = window.Model().Row(row);
            gotOrder += fileRow.FileName.mid(11, 1);
            gotSelection += window.Model().IsSelected(row) ? u'1' : u'0';
            // Every text and the duration moved together.
            QCOMPARE(fileRow.DurationSeconds, fileRow.FileName.contains(u'2') ? 7.0 : 2.0);
            QCOMPARE(FileListModel::Text(fileRow, FileListModel::ColumnDuration),
                     fileRow.FileName.contains(u'2') ? QStringLiteral("00:00:07")
                                                     : QStringLiteral("00:00:02"));
        }
        QCOMPARE(gotOrder, order);
        QCOMPARE(gotSelection, selection);
        // The view shows the model's selection and current row: it works on the same one.
        QItemSelectionModel* view = window.ListView()->selectionModel();
        QCOMPARE(view, window.Model().Selection());
        for (int row = 0; row < window.Model().Count(); ++row) {
            QCOMPARE(view->isRowSelected(row), selection.at(row) == u'1');
        }
        QCOMPARE(view->currentIndex().row(), window.Model().CurrentRow());
    }

    void totalsAfterTheNextTick() {
        engine_.media["/media/clip1.mp4"].DurationUs = 30'400'000;
        engine_.media["/media/clip2.mp4"].DurationUs = 30'400'000;
        MainWindow& window = Started();
        QCOMPARE(window.TotalFilesPane()->text(), QStringLiteral("Total Files: 0"));
        QCOMPARE(window.TotalDurationPane()->text(), QStringLiteral("Total Duration: 00:00:00"));
        // Nothing changes until the timer ticks; held still while the rows come in, so that the
        // check does not depend on how fast the machine is.
        QTimer* timer = nullptr;
        for (QTimer* child : window.findChildren<QTimer*>()) {
            if (child->isActive() && child->interval() == MainWindow::kTotalsIntervalMs) {
                timer = child;
            }
        }
        QVERIFY(timer != nullptr);
        timer->stop();
        AddFakeRows(window, 2);
        QCOMPARE(window.TotalFilesPane()->text(), QStringLiteral("Total Files: 0"));
        timer->start();
        QTRY_COMPARE_WITH_TIMEOUT(window.TotalFilesPane()->text(), QStringLiteral("Total Files: 2"),
                                  5000);
        QCOMPARE(window.TotalDurationPane()->text(), QStringLiteral("Total Duration: 00:01:01"));
        window.Dispatch(ID_CLEARALL);
        QTRY_COMPARE_WITH_TIMEOUT(window.TotalFilesPane()->text(), QStringLiteral("Total Files: 0"),
                                  5000);
        QCOMPARE(window.TotalDurationPane()->text(), QStringLiteral("Total Duration: 00:00:00"));
    }

    // Convert on an empty list tells the user, opens the dialog, lists what was chosen and
    // does not go on to the format dialog.
    void convertOnEmptyList() {
        MainWindow& window = Started();
        shell_.chooseResults.append(
            {MediaPath(QStringLiteral("a.mp4")), MediaPath(QStringLiteral("b.mp4"))});
        window.Dispatch(ID_JOINTB);
        QCOMPARE(shell_.messages.size(), 1);
        QCOMPARE(shell_.messages.at(0).Icon, MessageIcon::Information);
        QCOMPARE(shell_.messages.at(0).Text, QStringLiteral("Please add file to the list."));
        QCOMPARE(shell_.dialogFolders, QStringList({QString()}));
        QCOMPARE(shell_.lastFilters.size(), 33);
        QVERIFY(
            shell_.lastFilters.first().startsWith(QStringLiteral("All Supported Media Files (")));
        QCOMPARE(window.Model().Count(), 2);
        QCOMPARE(window.LastFolder(), mediaDir_.path() + u'/');
        QCOMPARE(window.Model().SelectedRows(), QList<int>({1}));
        QCOMPARE(window.Model().CurrentRow(), 1);
    }

    void addFilesDialogSelectsOnlyTheLastRow() {
        MainWindow& window = Started();
        AddFakeRows(window, 3);
        window.Dispatch(ID_SELECTALL);
        shell_.chooseResults.append(QStringList());  // cancelled
        window.Dispatch(ID_ADDFILES);
        QCOMPARE(window.Model().SelectedRows(), QList<int>({2}));
        QCOMPARE(window.LastFolder(), QString());
        shell_.chooseResults.append({QStringLiteral("/music/x.mp3")});
        window.Dispatch(ID_ADDFILES);
        QCOMPARE(window.Model().SelectedRows(), QList<int>({3}));
        QCOMPARE(window.LastFolder(), QStringLiteral("/music/"));
        window.Dispatch(ID_ADDFILES);
        QCOMPARE(shell_.dialogFolders.last(), QStringLiteral("/music/"));
    }

    // A real drop onto the list: the folder is skipped, the two files are probed in order.
    // A dropped folder adds its media files, subfolders after the folder's own files; files
    // that are not media, or that the decoder rejects, are counted in one message.
    void droppedFolderAddsItsMediaFiles() {
        const QString folder = MediaPath(QStringLiteral("folder"));
        engine_.media[ToEnginePath(folder + QStringLiteral("/bad.mp3"))].Opens = false;
        MainWindow& window = Started();
        window.show();
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        for (const char* name : {"sub/b.mkv", "a.mkv", "readme.txt", "bad.mp3"}) {
            QFile file(folder + u'/' + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QStringList dropped = {folder, MediaPath(QStringLiteral("one.mkv")),
                                     MediaPath(QStringLiteral("two.mkv"))};
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& path : dropped) {
            urls.append(QUrl::fromLocalFile(path));
        }
        mime.setUrls(urls);
        QWidget* target = window.ListView()->viewport();
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
        const QStringList added = {folder + QStringLiteral("/a.mkv"),
                                   folder + QStringLiteral("/sub/b.mkv")};
        QTRY_COMPARE(FileNames(window.Model()), added + dropped.mid(1));
        QCOMPARE(window.Model().Row(1).RelativeFolder, QStringLiteral("sub/"));
        QCOMPARE(window.Model().Row(2).RelativeFolder, QString());
        QVERIFY(window.Model().SelectedRows().isEmpty());
        QCOMPARE(shell_.messages.last().Text, SkippedFilesText(2, 0));

        QMimeData text;
        text.setText(QStringLiteral("not files"));
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton,
                                Qt::NoModifier);
        QCoreApplication::sendEvent(target, &refused);
        QVERIFY(!refused.isAccepted());
    }

    // Add Folder, the list kept across sessions, and the offer to take up a run that was cut
    // off: declined, its journal goes.
    void addFolderListKeptAndResumeOffer() {
        QTemporaryDir state;
        QVERIFY(QDir().mkpath(MediaPath(QStringLiteral("lib/disc 10"))));
        QVERIFY(QDir().mkpath(MediaPath(QStringLiteral("lib/disc 2"))));
        for (const char* name : {"lib/disc 10/x.mp3", "lib/disc 2/x.mp3"}) {
            QFile file(MediaPath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        {
            MainWindow& window = Started(state.path());
            shell_.folderResults = {MediaPath(QStringLiteral("lib"))};
            window.Dispatch(ID_ADDFOLDER);
            QCOMPARE(window.Model().Count(), 2);
            QCOMPARE(window.Model().Row(0).RelativeFolder, QStringLiteral("disc 2/"));
            QCOMPARE(window.Model().SelectedRows(), QList<int>{1});
            QTRY_VERIFY(QFile::exists(state.filePath(QStringLiteral("list.json"))));
            window_.reset();
        }
        QFile journal(state.filePath(QStringLiteral("journal")));
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.write(R"({"journal":1,"started":"2026-01-01T00:00:00.000Z","outputFolder":"/tmp/",)"
                      R"("files":[{"input":"/a.wav","output":"/tmp/a.mp3","done":true},)"
                      R"({"input":"/b.wav","output":"/tmp/b.mp3"}]})"
                      "\n");
        journal.close();
        shell_.answerYes = false;
        const qsizetype asked = shell_.questions.size();
        MainWindow& again = Started(state.path());
        QCOMPARE(again.Model().Count(), 2);
        QCOMPARE(again.Model().Row(1).RelativeFolder, QStringLiteral("disc 10/"));
        QTRY_COMPARE(shell_.questions.size(), asked + 1);
        QCOMPARE(shell_.questions.last(),
                 QStringLiteral("The last conversion was interrupted: 1 of "
                                "2 files done. Convert the remaining 1?"));
        QVERIFY(!journal.exists());
    }

    void duplicatesAddNothing() {
        MainWindow& window = Started();
        window.AddDroppedFiles({QStringLiteral("/v/Clip.mp4")});
        window.AddDroppedFiles({QStringLiteral("/v/Clip.mp4"), QStringLiteral("/v/clip.mp4")});
        shell_.chooseResults.append({QStringLiteral("/v/Clip.mp4")});
        window.Dispatch(ID_ADDFILES);
        QCOMPARE(FileNames(window.Model()), QStringList({"/v/Clip.mp4", "/v/clip.mp4"}));
        QCOMPARE(engine_.decoder->openCount, 2);
        QVERIFY(shell_.messages.isEmpty());
    }

    // Only regular files are probed: a named pipe would hold the window until a writer came,
    // a device would be read for ever. Each is refused at once with the reason.
    void pipesDevicesAndFoldersAreRefused() {
        MainWindow& window = Started();
        const QString pipe = MediaPath(QStringLiteral("pipe.mp4"));
        const QString folder = MediaPath(QStringLiteral("folder.mkv"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QDir().mkpath(folder));
        shell_.chooseResults.append({pipe, QStringLiteral("/dev/zero"), folder});
        window.Dispatch(ID_ADDFILES);
        QFile::remove(pipe);
        QCOMPARE(window.Model().Count(), 0);
        QCOMPARE(engine_.decoder->openCount, 0);
        QCOMPARE(shell_.messages.size(), 3);
        for (const RecordingShell::Message& message : shell_.messages) {
            QVERIFY2(message.Text.endsWith(QStringLiteral("Error: \nNot a regular file")),
                     qPrintable(message.Text));
        }
    }

    // The same file under a second name (a link to it) is listed once.
    void aFileThroughALinkIsListedOnce() {
        MainWindow& window = Started();
        const QString file = MediaPath(QStringLiteral("linked.mp4"));
        const QString link = MediaPath(QStringLiteral("link to linked.mp4"));
        QFile(file).open(QIODevice::WriteOnly);
        QVERIFY(QFile::link(file, link));
        window.AddDroppedFiles({file, link});
        window.AddDroppedFiles({link});
        QCOMPARE(FileNames(window.Model()), QStringList({file}));
        QCOMPARE(engine_.decoder->openCount, 1);
    }

    // Rows removed while window events run between two probes: the add goes on with the
    // next file and nothing is written into a vanished row.
    void rowsRemovedDuringAdd() {
        MainWindow* window = nullptr;
        bool waitShown = false;
        engine_.onOpen = [&](const std::string& path) {
            waitShown = waitShown || window->findChild<FormWait*>()->isVisible();
            if (path == "/m/2.mp4") {
                // A slow file: window events run right after it.
                QThread::msleep(40);
                QMetaObject::invokeMethod(
                    window, [window] { window->Dispatch(ID_CLEARALL); }, Qt::QueuedConnection);
            }
        };
        window = &Started();
        window->AddDroppedFiles({"/m/1.mp4", "/m/2.mp4", "/m/3.mp4", "/m/4.mp4"});
        QCOMPARE(FileNames(window->Model()), QStringList({"/m/3.mp4", "/m/4.mp4"}));
        QVERIFY(waitShown);
        QVERIFY(!window->findChild<FormWait*>()->isVisible());
        QVERIFY(!engine_.decoder->open);
    }

    // The wait window counts the files read against the whole total, and starts the next
    // reading without the last count.
    void waitWindowCounts() {
        MainWindow* window = nullptr;
        QStringList counts;
        engine_.onOpen = [&](const std::string&) {
            counts << window->findChild<FormWait*>()->CountText();
        };
        window = &Started();
        window->AddDroppedFiles({"/m/1.mp4", "/m/2.mp4", "/m/3.mp4"});
        window->AddDroppedFiles({"/m/4.mp4", "/m/5.mp4"});
        QCOMPARE(counts, QStringList({"0 of 3 files", "1 of 3 files", "2 of 3 files",
                                      "0 of 2 files", "1 of 2 files"}));
    }

    // Probing through the real engine module, bound as the program binds it.
    void realMedia_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("texts");  // Type, Duration, Video Size, Video/Audio Codec
        QTest::newRow("video with sound")
            << "clip.avi" << QStringList({"AVI", "00:00:01", "320 X 240", "mpeg4", "mp2"});
        QTest::newRow("sound only")
            << "tone.wav" << QStringList({"WAV", "00:00:01", "N/A", "N/A", "pcm_s16le"});
    }

    void realMedia() {
        QFETCH(QString, name);
        QFETCH(QStringList, texts);
        MainWindow& window = StartedOnRealEngine();
        const QString path = MediaPath(name);
        window.AddDroppedFiles({path});
        QVERIFY2(shell_.messages.isEmpty(), qPrintable(shell_.messages.value(0).Text));
        QCOMPARE(window.Model().Count(), 1);
        const auto text = [&window](int column) {
            return window.Model().index(0, column).data().toString();
        };
        QCOMPARE(text(FileListModel::ColumnFileName), path);
        QCOMPARE(QStringList({text(FileListModel::ColumnType), text(FileListModel::ColumnDuration),
                              text(FileListModel::ColumnVideoSize),
                              text(FileListModel::ColumnVideoCodec),
                              text(FileListModel::ColumnAudioCodec)}),
                 texts);
        QVERIFY(text(FileListModel::ColumnFileSize).endsWith(QStringLiteral(" MB")));
        QCOMPARE(text(FileListModel::ColumnModified),
                 QFileInfo(path).lastModified().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
    }

    // A file whose name is not UTF-8 (Latin-1, from an old disk), dropped from a file manager
    // that names it by its bytes: the engine probes that very file.
    void latin1NameIsListedAndProbed() {
        MainWindow& window = StartedOnRealEngine();
        window.show();
        const QByteArray bytes = QFile::encodeName(mediaDir_.path()) + "/caf\xe9 cr\xe8me.avi";
        std::filesystem::copy_file(QFile::encodeName(MediaPath(QStringLiteral("clip.avi"))).data(),
                                   bytes.data());
        QMimeData mime;
        mime.setUrls({QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(window.ListView()->viewport(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.ListView()->viewport(), &drop);
        QTRY_COMPARE(window.Model().Count() + shell_.messages.size(), 1);
        QVERIFY2(shell_.messages.isEmpty(), qPrintable(shell_.messages.value(0).Text));
        const FileRow& row = window.Model().Row(0);
        QCOMPARE(EncodeFileName(row.FileName), bytes);
        QCOMPARE(row.VideoWidth, 320);
        QCOMPARE(row.SizeBytes,
                 static_cast<double>(std::filesystem::file_size(bytes.toStdString())));
        QVERIFY(row.Modified.isValid());
        std::filesystem::remove(bytes.data());  // Qt's own removal would not find it
    }

    void corruptFileIsReported() {
        MainWindow& window = StartedOnRealEngine();
        const QString path = MediaPath(QStringLiteral("broken.mp4"));
        shell_.chooseResults.append({path});
        window.Dispatch(ID_ADDFILES);
        QCOMPARE(window.Model().Count(), 0);
        QCOMPARE(shell_.messages.size(), 1);
        QCOMPARE(shell_.messages.at(0).Icon, MessageIcon::Error);
        const QString prefix =
            QStringLiteral("Can not open file: \n") + path + QStringLiteral("\n\nError: \n");
        const QString& text = shell_.messages.at(0).Text;
        QVERIFY2(text.startsWith(prefix), qPrintable(text));
        QVERIFY(text.size() > prefix.size());
    }

    void engineMissing() {
        WriteSetting(kSettingOutPath, QStringLiteral("/kept"));
        engine_.loads = false;
        MainWindow window(shell_, engine_.Binding(), mediaDir_.path());
        QVERIFY(!window.Start());
        QCOMPARE(shell_.messages.size(), 1);
        QCOMPARE(shell_.messages.at(0).Icon, MessageIcon::Error);
        QCOMPARE(shell_.messages.at(0).Text, QStringLiteral("Video lib not found"));
        QCOMPARE(shell_.endCount, 1);
        // Ends before the update prompt, and closing steps do not run.
        QVERIFY(shell_.questions.isEmpty());
        window.close();
        QCOMPARE(ReadSetting(kSettingLastCheckUpdate), QString());
        QCOMPARE(ReadSetting(kSettingOutPath), QStringLiteral("/kept"));
    }

    void updatePrompt_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("prompted");
        const QDate today = QDate::currentDate();
        QTest::newRow("first run") << QString() << true;
        QTest::newRow("15 days ago") << LastCheckText(today.addDays(-15)) << false;
        QTest::newRow("16 days ago") << LastCheckText(today.addDays(-16)) << true;
        QTest::newRow("today") << LastCheckText(today) << false;
        QTest::newRow("tomorrow") << LastCheckText(today.addDays(1)) << true;
        QTest::newRow("not a date") << QStringLiteral("soon") << true;
    }

    void updatePrompt() {
        QFETCH(QString, stored);
        QFETCH(bool, prompted);
        for (const bool answerYes : {false, true}) {
            WriteSetting(kSettingLastCheckUpdate, stored);
            shell_ = RecordingShell();
            shell_.answerYes = answerYes;
            MainWindow window(shell_, engine_.Binding(), mediaDir_.path());
            QVERIFY(window.Start());
            QCOMPARE(shell_.questions.size(), prompted ? 1 : 0);
            const QString expectedStored = prompted ? LastCheckText(QDate::currentDate()) : stored;
            QCOMPARE(ReadSetting(kSettingLastCheckUpdate), expectedStored);
            if (prompted) {
                QCOMPARE(shell_.questions.at(0),
                         QStringLiteral("Do you want to visit our website to "
                                        "check if there is a new version "
                                        "released?"));
                QCOMPARE(shell_.openedUrls.size(), answerYes ? 1 : 0);
            }
        }
        QVERIFY(UpdatePromptDue(QString(), QDate(2005, 1, 17)));
        QVERIFY(!UpdatePromptDue(QString(), QDate(2005, 1, 16)));
    }

    // Closing the window stops the encoder and saves the output folder; a confirmed Exit
    // ends the process without either; Exit answered No changes nothing.
    void exitVersusClose() {
        WriteSetting(kSettingOutPath, QStringLiteral("/before"));
        {
            MainWindow& window = Started();
            QCOMPARE(window.OutputFolder(), QStringLiteral("/before"));
            QVERIFY(engine_.encoder->HasPoster());
            window.OutputFolder() = QStringLiteral("/chosen");
            window.Dispatch(ID_EXIT);
            QCOMPARE(shell_.questions, QStringList({"Do you want to exit?"}));
            QCOMPARE(shell_.endCount, 0);
            shell_.answerYes = true;
            window.Dispatch(ID_EXIT);
            QCOMPARE(shell_.endCount, 1);
            window.close();
            QCOMPARE(engine_.encoder->stopCount, 0);
            QCOMPARE(ReadSetting(kSettingOutPath), QStringLiteral("/before"));
        }
        shell_ = RecordingShell();
        MainWindow& window = Started();
        window.OutputFolder() = QStringLiteral("/chosen");
        window.show();
        window.close();
        QCOMPARE(engine_.encoder->stopCount, 1);
        QCOMPARE(ReadSetting(kSettingOutPath), QStringLiteral("/chosen"));
        QCOMPARE(shell_.endCount, 0);
    }

    void helpWebsiteAboutAndPlay() {
        MainWindow& window = Started();
        window.Dispatch(ID_HELPCONTENTS);
        window.Dispatch(ID_WEBSITE);
        window.Dispatch(ID_ABOUT);
        QCOMPARE(shell_.openedUrls,
                 QList<QUrl>({QUrl::fromLocalFile(mediaDir_.path() + QStringLiteral("/help.html")),
                              QUrl(kWebsiteUrl)}));
        QCOMPARE(shell_.modalCount, 1);

        // Play opens the player window for the current row, modally; without one, nothing.
        window.Dispatch(ID_PLAY);
        QCOMPARE(shell_.modalCount, 1);
        AddFakeRows(window, 2);
        window.Model().SetCurrentRow(1);
        window.Dispatch(ID_PLAY);
        QCOMPARE(shell_.modalTitles,
                 QStringList({QStringLiteral("Start..."), QStringLiteral("/media/clip2.mp4")}));
        window.Dispatch(4242);  // not a command: nothing happens
    }

    // The about window closes on a click on its picture, not on a click on its labels.
    void aboutWindowClicks() {
        int websiteOpened = 0;
        FormFlash flash(nullptr, [&websiteOpened] { ++websiteOpened; });
        QVERIFY(flash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(flash.windowTitle(), QStringLiteral("Start..."));
        flash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flash));
        QLabel* version = nullptr;
        for (QLabel* label : flash.findChildren<QLabel*>()) {
            if (label->text() == QStringLiteral("Version 5.0")) {
                version = label;
            }
        }
        QVERIFY(version != nullptr);
        bool closesItself = false;
        for (const QTimer* timer : flash.findChildren<QTimer*>()) {
            closesItself = closesItself || (timer->isActive() && timer->interval() == 8000);
        }
        QVERIFY(closesItself);
        QTest::mouseClick(version, Qt::LeftButton);
        QVERIFY(flash.isVisible());
        emit flash.LinkLabel()->linkActivated(kWebsiteUrl);
        QCOMPARE(websiteOpened, 1);
        QVERIFY(flash.isVisible());
        QTest::mouseClick(&flash, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(!flash.isVisible());
    }

    // Nothing the user meets by accident takes a part of the window away: a right click on
    // the bars offers no menu (Qt's would hide the toolbar for good), and Escape leaves the
    // wait window of a multi-file add up.
    void barsAndWaitWindowStayPut() {
        MainWindow& window = Started();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (QWidget* bar : QList<QWidget*>{window.Bars().Toolbar, window.menuBar()}) {
            QString offered;
            // A menu would run its own loop: close it from inside and note what it offered.
            QTimer::singleShot(50, bar, [&offered] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    offered = ActionTexts(menu->actions()).join(QLatin1Char(','));
                    menu->close();
                }
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                                    bar->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(bar, &event);
            QTest::qWait(100);
            QVERIFY2(offered.isEmpty(), qPrintable(offered));
        }
        QVERIFY(window.Bars().Toolbar->isVisible());

        FormWait wait(&window);
        wait.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wait));
        QTest::keyClick(&wait, Qt::Key_Escape);
        QVERIFY(wait.isVisible());
    }

    // A typed name of a missing file leaves the open dialog as a name, for the window's own
    // "Can not open file" message; a name that exists still goes through Qt's checks.
    void openDialogPassesMissingNames() {
        for (const QString& name : {QStringLiteral("missing.mp4"), QStringLiteral("clip.avi")}) {
            const auto dialog = NewOpenFilesDialog(nullptr, mediaDir_.path(), {"All (*)"});
            dialog->setOption(QFileDialog::DontUseNativeDialog, true);
            dialog->show();
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(edit != nullptr);
            edit->setText(name);
            auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            QTRY_VERIFY(box->button(QDialogButtonBox::Open)->isEnabled());
            QTest::mouseClick(box->button(QDialogButtonBox::Open), Qt::LeftButton);
            QTRY_COMPARE(dialog->result(), int(QDialog::Accepted));
            QCOMPARE(dialog->selectedFiles(), QStringList{MediaPath(name)});
        }
    }

    // Files of one folder keep their names in sight: the "File Name" cell loses the start of
    // a long path, not its middle, and the tooltip has the whole path.
    void longPathsKeepTheirNames() {
        MainWindow& window = Started();
        AddFakeRows(window, 1);
        const QModelIndex cell = window.Model().index(0, FileListModel::ColumnFileName);
        auto* delegate = dynamic_cast<PathCellDelegate*>(
            window.ListView()->itemDelegateForColumn(FileListModel::ColumnFileName));
        QVERIFY(delegate != nullptr);
        QStyleOptionViewItem option;
        delegate->initStyleOption(&option, cell);
        QCOMPARE(option.textElideMode, Qt::ElideLeft);
        QCOMPARE(cell.data(Qt::ToolTipRole).toString(), QStringLiteral("/media/clip1.mp4"));
    }

    // One whole conversion without the mouse: add a file, open the dialog, choose a profile
    // from its menu, change a grid value, type the folder, convert, try Escape, stop, open the
    // folder, close, and play. Every key goes to the widget that has the focus (or the open
    // menu), and every widget the focus reaches is in sight.
    void wholeFlowByKeys() {
        QTemporaryDir outDir;
        shell_.chooseResults = {{QStringLiteral("/media/clip1.mp4")}};
        MainWindow& window = Started();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QWidget* target = QApplication::activePopupWidget();
            if (target == nullptr) {
                target = QApplication::focusWidget();
            }
            QVERIFY(target != nullptr);
            QVERIFY2(target->isVisible(), target->metaObject()->className());
            QTest::keyClick(target, key, modifiers);
        };

        press(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(window.Model().Count(), 1);
        press(Qt::Key_Return, Qt::ControlModifier);
        auto* dialog = window.findChild<FormVideoFormat*>();
        QVERIFY(dialog != nullptr);
        QTRY_VERIFY(dialog->isActiveWindow());

        // Alt+F reaches the profile box; F4 opens its menu; a group, then its first profile.
        const QString before = dialog->Model().FormatCaption();
        press(Qt::Key_F, Qt::AltModifier);
        press(Qt::Key_F4);
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        press(Qt::Key_Right);
        QTRY_VERIFY(QApplication::activePopupWidget() != dialog->ProfileMenu());
        press(Qt::Key_Return);
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
        QVERIFY2(dialog->Model().FormatCaption() != before, qPrintable(before));
        // The offscreen platform does not hand activation back once a menu closes; a window
        // manager does.
        dialog->activateWindow();
        QTRY_VERIFY(dialog->isActiveWindow());

        // Alt+M shows the grid and Tab reaches it; the arrows find an item with fixed choices,
        // F2 edits it.
        QTreeView* tree = dialog->Grid()->Tree();
        press(Qt::Key_M, Qt::AltModifier);
        QTRY_VERIFY(tree->isVisible());
        for (int tab = 0; tab < 20 && QApplication::focusWidget() != tree; ++tab) {
            press(Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), tree);
        const auto isChoice = [](const QModelIndex& index) {
            return index.data(SettingsGridModel::KindRole).toInt() ==
                       static_cast<int>(GridItemKind::FixedChoice) &&
                   !index.data(SettingsGridModel::ReadOnlyRole).toBool();
        };
        for (int down = 0; down < 40 && !isChoice(tree->currentIndex()); ++down) {
            press(Qt::Key_Down);
        }
        QVERIFY(isChoice(tree->currentIndex()));
        const QModelIndex value = tree->currentIndex().siblingAtColumn(1);
        const QString oldValue = value.data().toString();
        press(Qt::Key_F2);
        QTRY_VERIFY(QApplication::focusWidget() != tree);
        press(Qt::Key_Down);
        press(Qt::Key_Return);
        QTRY_VERIFY(value.data().toString() != oldValue);

        // Alt+D reaches the folder; the typed folder is where the run writes.
        press(Qt::Key_D, Qt::AltModifier);
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), outDir.path());
        press(Qt::Key_Return);
        FormConverting* progress = nullptr;
        QTRY_VERIFY((progress = window.findChild<FormConverting*>()) != nullptr);
        QTRY_VERIFY(progress->isActiveWindow());
        QStringList opened;
        progress->SetFolderOpener([&opened](const QString& folder) { opened << folder; });
        press(Qt::Key_Escape);
        QVERIFY(progress->isVisible());
        QCOMPARE(engine_.encoder->stopCount, 0);
        press(Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(engine_.encoder->stopCount, 1);
        engine_.encoder->QueueEnded();
        QTRY_VERIFY(progress->OpenButton()->isEnabled());
        // The notice must not take the focus; the offscreen platform activates it anyway.
        progress->activateWindow();
        QTRY_VERIFY(progress->isActiveWindow());
        press(Qt::Key_O, Qt::AltModifier);
        QTRY_COMPARE(opened.size(), 1);
        QVERIFY(QDir(opened.first()) == QDir(outDir.path()));
        press(Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(window.findChild<FormConverting*>() == nullptr);

        // Back in the main window (activated by the window manager, here by hand), Tab reaches
        // Play and Space presses it.
        window.activateWindow();
        QTRY_VERIFY(window.isActiveWindow());
        for (int tab = 0;
             tab < 8 &&
             !(qobject_cast<QToolButton*>(QApplication::focusWidget()) &&
               static_cast<QToolButton*>(QApplication::focusWidget())->defaultAction()->text() ==
                   QStringLiteral("Play"));
             ++tab) {
            press(Qt::Key_Tab);
        }
        press(Qt::Key_Space);
        QTRY_COMPARE(shell_.modalTitles.size(), 1);
        QCOMPARE(shell_.modalTitles.first(), QStringLiteral("/media/clip1.mp4"));
    }

    // Under a translation that makes every text 40 % longer, every text of the main window
    // went through it and none is cut off: toolbar buttons, menus, column headers, totals.
    void pseudoTranslationFits() {
        Lengthening lengthening;
        QCoreApplication::installTranslator(&lengthening);
        MainWindow& window = Started();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AddFakeRows(window, 1);
        window.RefreshTotals();
        PseudoFaults pseudo;
        const auto check = [&pseudo](const QString& shown, int room, const QFontMetrics& metrics) {
            pseudo.Check(shown, room, metrics);
        };
        for (QAction* action : window.Bars().Toolbar->actions()) {
            QWidget* button = window.Bars().Toolbar->widgetForAction(action);
            check(action->text(), button->width(), button->fontMetrics());
        }
        for (QAction* menu : window.menuBar()->actions()) {
            check(menu->text(), window.menuBar()->actionGeometry(menu).width(),
                  window.menuBar()->fontMetrics());
        }
        QHeaderView* header = window.ListView()->header();
        for (int column = 0; column < header->count(); ++column) {
            check(window.Model().headerData(column, Qt::Horizontal).toString(),
                  header->sectionSize(column) - 4, header->fontMetrics());
        }
        for (QLabel* pane : {window.TotalFilesPane(), window.TotalDurationPane()}) {
            check(pane->text(), pane->contentsRect().width(), pane->fontMetrics());
        }
        FormWait wait(&window);
        wait.ShowCount(12345, 99999);
        wait.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wait));
        for (QLabel* label : wait.findChildren<QLabel*>()) {
            check(label->text(), label->contentsRect().width(), label->fontMetrics());
        }
        QCoreApplication::removeTranslator(&lengthening);
        QVERIFY2(pseudo.faults.isEmpty(), qPrintable(pseudo.faults.join(u'\n')));
    }

  private:
    MainWindow& StartedOnRealEngine() {
        WriteSetting(kSettingLastCheckUpdate, LastCheckText(QDate::currentDate()));
        // The program's folder is the one that holds LibAV/.
        const QString appFolder = QFileInfo(QStringLiteral(OSTREL_ENGINE_FOLDER)).absolutePath();
        window_ = std::make_unique<MainWindow>(shell_, EngineBinding::Module(), appFolder);
        if (!window_->Start()) {
            qFatal("the engine module did not load");
        }
        return *window_;
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"

// The main window driven through its dispatcher and model, headless. A fake engine stands in
// where real media is not the point; the real engine module probes generated clips where it is.
#include "app/main_window.h"
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
#include "app/progress_window.h"
#include "app/settings_grid_view.h"
#include "app/update_check.h"
#include "common/engine_path.h"
#include "common/settings_store.h"
#include "fake_engine.h"
#include "main_window_fixture.h"
#include "profiles/settings_grid_model.h"
#include "pseudo_translation.h"
#include "shown_text.h"

using namespace ostrel;
using namespace ostrel::testing;

class MainWindowTest : public MainWindowFixture {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpCase(); }
    void init() { SetUpTest(); }
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
        // In a narrow window the path gives way first: a type and a duration keep their text.
        window.resize(420, window.height());
        for (const auto& [column, text] : {std::pair{FileListModel::ColumnType, "WEBM"},
                                           std::pair{FileListModel::ColumnDuration, "00:00:00"}}) {
            QVERIFY2(header->sectionSize(column) - 8 >=
                         window.ListView()->fontMetrics().horizontalAdvance(QLatin1String(text)),
                     text);
        }
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
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"

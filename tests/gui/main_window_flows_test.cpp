// The main window's flows end to end, headless: real media probed through the engine module,
// the update prompt, Exit and close, Help and About, the open dialog, keyboard-only use and a
// pseudo-translation that lengthens every text.
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
#include "main_window_fixture.h"
#include "profiles/settings_grid_model.h"
#include "pseudo_translation.h"
#include "shown_text.h"

using namespace ostrel;
using namespace ostrel::testing;

class MainWindowFlowsTest : public MainWindowFixture {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpCase(); }
    void init() { SetUpTest(); }
    void cleanup() { window_.reset(); }

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
        KeepShot(window, QStringLiteral("main_pseudo"));
        KeepShot(wait, QStringLiteral("wait_pseudo"));
        QCoreApplication::removeTranslator(&lengthening);
        QVERIFY2(pseudo.faults.isEmpty(), qPrintable(pseudo.faults.join(u'\n')));
    }
};

QTEST_MAIN(MainWindowFlowsTest)
#include "main_window_flows_test.moc"

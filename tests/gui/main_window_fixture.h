// What the main window's tests share: a shell that answers from a script and records what the
// window asked, and a fixture that starts the window on the fake engine or on the real engine
// module, with its settings in a folder of its own and short clips made once per program.
#pragma once

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
#include "shown_text.h"

namespace ostrel::testing {

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

inline QStringList ActionTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions) {
        texts.append(action->isSeparator() ? QStringLiteral("|") : Shown(action->text()));
    }
    return texts;
}

inline QStringList FileNames(const FileListModel& model) {
    QStringList names;
    for (const FileRow& row : model.Rows()) {
        names.append(row.FileName);
    }
    return names;
}

inline bool RunFfmpeg(const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} +
                     arguments);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
}

// The window under test, its shell, its fake engine and its media and settings folders.
class MainWindowFixture : public QObject {
  protected:
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

    // Once per program: the settings folder and the clips.
    void SetUpCase() {
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

    // Before each test: a fresh shell and engine, and no settings left by the last test.
    void SetUpTest() {
        shell_ = RecordingShell();
        engine_ = FakeEngine();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ostrel Software"),
                  QStringLiteral("Ostrel Media Converter"))
            .clear();
    }
};

}  // namespace ostrel::testing

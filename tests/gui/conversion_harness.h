// What the conversion window's tests share: a harness that opens the format dialog over a
// main window and presses OK, and short clips and probes for the runs with the real engine.
#pragma once

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>
#include "app/completion_notice.h"
#include "app/conversion_ui.h"
#include "app/format_dialog.h"
#include "app/progress_window.h"
#include "app/ui_poster.h"
#include "common/engine_path.h"
#include "conversion/when_done.h"
#include "engine/loader/engine_loader.h"
#include "fake_encoder.h"
#include "file_rows.h"
#include "shown_text.h"

namespace ostrel::testing {

using Outcome = engine::TaskOutcome;

// Runs the engine events that have been posted to the UI thread.
inline void Deliver() {
    QCoreApplication::processEvents();
}

// Every file of a folder, the hidden ones (temporary outputs) included.
inline QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

inline QString Cell(FormConverting* window, int row, int column) {
    const QAbstractItemModel* model = window->List()->model();
    return model->index(row, column).data().toString();
}

inline QAction* FindProfileAction(QMenu* menu, const QString& caption) {
    for (QAction* action : menu->findChildren<QAction*>()) {
        if (action->text() == caption && action->data().isValid()) {
            return action;
        }
    }
    return nullptr;
}

// Everything one run needs: a main window, the conversion, and recorders for what would
// otherwise open message boxes, folder choosers and file managers.
struct Harness {
    // The encoder's events are posted onto the UI thread, as the main window does.
    explicit Harness(engine::Encoder& encoderIn) : encoder(encoderIn) {
        encoder.SetEventPoster(UiThreadPoster());
        QVERIFY(outputDir.isValid());
        outputFolder = outputDir.path();
        ui = std::make_unique<ConversionUi>(&mainWindow, encoder, outputFolder);
        notice = ui->Notice();
        QVERIFY(notice != nullptr);
        notice->SetFolderOpener([this](const QString& folder) { opened << "notice " + folder; });
        ui->SetSoundPlayer([this] { ++sounds; });
    }

    // Convert, then OK in the dialog.
    FormConverting* Run(const QList<FileRow>& rows, const QString& profile = {},
                        int cpuIndex = -1) {
        ui->Convert(rows);
        dialog = mainWindow.findChild<FormVideoFormat*>();
        if (dialog == nullptr) {
            return nullptr;
        }
        dialog->SetErrorMessageFunction(
            [this](QWidget*, const QString& caption, const QString& text) {
                messages << caption + QLatin1Char('|') + text;
            });
        dialog->SetFolderChooser([](QWidget*) { return QString(); });
        if (!profile.isEmpty()) {
            FindProfileAction(dialog->ProfileMenu(), profile)->trigger();
        }
        if (cpuIndex >= 0) {
            dialog->Model().SelectCpu(cpuIndex);
        }
        const QList<FormConverting*> before = mainWindow.findChildren<FormConverting*>();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
        window = nullptr;
        for (FormConverting* made : mainWindow.findChildren<FormConverting*>()) {
            if (!before.contains(made)) {
                window = made;
            }
        }
        if (window != nullptr) {
            window->SetFolderOpener(
                [this](const QString& folder) { opened << "button " + folder; });
        }
        return window;
    }

    QString In(const QString& name) const { return inputDir.path() + QLatin1Char('/') + name; }
    QString Out(const QString& name) const { return outputDir.path() + QLatin1Char('/') + name; }

    engine::Encoder& encoder;
    QTemporaryDir inputDir;
    QTemporaryDir outputDir;
    QWidget mainWindow;
    QString outputFolder;
    std::unique_ptr<ConversionUi> ui;
    QPointer<FormVideoFormat> dialog;
    QPointer<FormConverting> window;
    QPointer<CompletionNotice> notice;
    QStringList messages;
    QStringList opened;
    int sounds = 0;
};

// Makes a short test clip with the ffmpeg tool.
inline bool MakeClip(const QString& path, double seconds) {
    const QString length = QString::number(seconds);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v",
                  "error",
                  "-y",
                  "-f",
                  "lavfi",
                  "-i",
                  "testsrc2=size=320x240:rate=25:duration=" + length,
                  "-f",
                  "lavfi",
                  "-i",
                  "sine=frequency=440:sample_rate=44100:duration=" + length,
                  "-c:v",
                  "mpeg4",
                  "-q:v",
                  "5",
                  "-c:a",
                  "aac",
                  "-ac",
                  "2",
                  "-shortest",
                  path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

// The streams of a media file as ffprobe reports them.
inline QJsonArray ProbeStreams(const QString& path) {
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-show_entries",
                   "stream=codec_type,codec_name,width,height,channels", "-of", "json", path});
    if (!ffprobe.waitForFinished(30000)) {
        return {};
    }
    return QJsonDocument::fromJson(ffprobe.readAllStandardOutput())
        .object()
        .value(QStringLiteral("streams"))
        .toArray();
}

// The real engine's conversion queue.
inline std::unique_ptr<engine::Encoder> RealEncoder() {
    if (!LoadEngine(OSTREL_ENGINE_FOLDER)) {
        qWarning("engine: %s", EngineLoadError().c_str());
        return nullptr;
    }
    return CreateEncoder();
}

}  // namespace ostrel::testing

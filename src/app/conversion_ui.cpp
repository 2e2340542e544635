#include "app/conversion_ui.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "app/completion_notice.h"
#include "app/format_dialog.h"
#include "app/progress_window.h"
#include "conversion/conversion_run.h"
#include "desktop/sleep_inhibitor.h"
#include "engine/engine.h"

namespace ostrel {

class ConversionUi::Private {
  public:
    Private(ConversionUi* owner, QWidget* mainWindowIn, engine::Encoder& encoderIn,
            QString& outputFolderIn)
        : q(owner), mainWindow(mainWindowIn), encoder(encoderIn), outputFolder(outputFolderIn) {}

    FormVideoFormat* Dialog();
    void StartRun();
    void ShowRunMessage(const RunMessage& message);

    ConversionUi* q;
    QWidget* mainWindow;
    engine::Encoder& encoder;
    QString& outputFolder;
    QList<FileRow> rows;
    // Created at the first Convert, then only hidden, so its settings last for the session.
    QPointer<FormVideoFormat> dialog;
    QPointer<FormConverting> progress;
    QPointer<CompletionNotice> notice;
};

FormVideoFormat* ConversionUi::Private::Dialog() {
    if (dialog == nullptr) {
        dialog = new FormVideoFormat(outputFolder, FormatDialogModel::SystemProcessorCount(),
                                     mainWindow);
        dialog->setModal(true);
        QObject::connect(dialog, &FormVideoFormat::okRequested, q, [this] { StartRun(); });
    }
    return dialog;
}

void ConversionUi::Private::ShowRunMessage(const RunMessage& message) {
    if (dialog != nullptr) {
        dialog->ShowError(message.Caption, message.Text);
    } else {
        QMessageBox::critical(mainWindow, message.Caption, message.Text);
    }
}

void ConversionUi::Private::StartRun() {
    const QString folder = dialog->CheckOutputFolder();
    if (folder.isEmpty()) {
        return;
    }
    outputFolder = folder;
    FormatDialogModel& model = dialog->Model();
    model.CommitSizeBoxes();

    // The window owns the run; the encoder's events reach it only while it lives.
    auto* run = new ConversionRun;
    run->Queue(encoder, rows, model.Settings(), folder,
               [this](const RunMessage& message) { ShowRunMessage(message); });
    const QPointer<ConversionRun> target(run);
    engine::EncoderEvents events;
    events.TaskProgress = [target](int task, std::int64_t positionUs, std::int64_t durationUs) {
        if (target != nullptr) {
            target->OnTaskProgress(task, positionUs, durationUs);
        }
    };
    events.TaskFinished = [target](int task, engine::TaskOutcome outcome,
                                   const std::string& errorText) {
        if (target != nullptr) {
            target->OnTaskFinished(task, outcome, QString::fromStdString(errorText));
        }
    };
    encoder.SetEvents(std::move(events));

    const int threads = qMax(1, model.Settings().CpuThreads.toInt());
    dialog->hide();

    auto* window = new FormConverting(run, encoder, folder, threads, mainWindow);
    run->setParent(window);
    progress = window;
    window->setModal(true);
    QObject::connect(window, &QDialog::finished, window, [window] { window->deleteLater(); });
    // Tied to this object as well as the window: the handler reaches into this object.
    QObject::connect(window, &FormConverting::runFinished, q, [this] {
        PlayCompletionSound();
        if (notice != nullptr) {
            notice->ShowNotice(outputFolder);
        }
    });
    // The machine stays awake until the run ends or is stopped, or the window goes.
    auto* awake = new SleepInhibitor(window);
    QObject::connect(run, &ConversionRun::finished, awake, &SleepInhibitor::Release);
    window->show();
    if (run->QueuedTaskCount() > 0) {
        awake->Take(QStringLiteral("Converting files"));
    }
    window->Start();
}

ConversionUi::ConversionUi(QWidget* mainWindow, engine::Encoder& encoder, QString& outputFolder)
    : QObject(mainWindow), d_(new Private(this, mainWindow, encoder, outputFolder)) {
    // The notice belongs to the main window and outlives every progress window.
    d_->notice = new CompletionNotice(mainWindow);
}

ConversionUi::~ConversionUi() {
    delete d_;
}

void ConversionUi::Convert(const QList<FileRow>& rows) {
    d_->rows = rows;
    FormVideoFormat* dialog = d_->Dialog();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void ConversionUi::StopEncoder() {
    d_->encoder.StopTasks(false);
}

}  // namespace ostrel

#include "app/conversion_ui.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/completion_notice.h"
#include "app/format_dialog.h"
#include "app/progress_window.h"
#include "conversion/conversion_run.h"
#include "conversion/run_overview.h"
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
    std::function<void()> playSound = PlayCompletionSound;
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

    auto* run = new ConversionRun;
    run->Queue(encoder, rows, model.Settings(), folder,
               [this](const RunMessage& message) { ShowRunMessage(message); });
    const int threads = qMax(1, model.Settings().CpuThreads.toInt());
    dialog->hide();

    // The window owns the run and shows it; the run follows the encoder's events itself. The
    // window is modal to the main window only: the notice stays clickable beside it.
    QList<double> sourceSeconds;
    for (const FileRow& row : rows) {
        sourceSeconds.append(row.DurationSeconds);
    }
    auto* window = new FormConverting(run, folder, sourceSeconds, mainWindow);
    progress = window;
    window->setWindowModality(Qt::WindowModal);
    QObject::connect(window, &QDialog::finished, window, [window] { window->deleteLater(); });
    // Every run ends with the notice, once: when the encoder reports the end of the queue, when
    // nothing could be started, or when the window closes first (then the run was stopped by
    // the user, and the notice says so). The handlers reach into this object, so they are tied
    // to it as well as to the run or its window.
    auto announced = std::make_shared<bool>(false);
    const auto announce = [this, run, announced](bool closedEarly) {
        if (*announced) {
            return;
        }
        *announced = true;
        const RunEndTexts texts =
            EndOfRunTexts(CountRows(run->Rows()), run->StopRequested() || closedEarly);
        if (texts.PlaysSound && playSound) {
            playSound();
        }
        if (notice != nullptr) {
            notice->ShowNotice(outputFolder, texts.Notice);
        }
    };
    QObject::connect(run, &ConversionRun::queueEnded, q, [announce] { announce(false); });
    QObject::connect(window, &QDialog::finished, q, [announce, run] {
        if (run->CurrentState() != ConversionRun::State::Finished) {
            announce(true);
        }
    });
    // The machine stays awake until the run ends or is stopped, or the window goes.
    auto* awake = new SleepInhibitor(window);
    QObject::connect(run, &ConversionRun::queueEnded, awake, &SleepInhibitor::Release);
    window->show();
    if (run->Start(encoder, threads)) {
        awake->Take(QCoreApplication::translate("ostrel::ConversionUi", "Converting files"));
    } else {
        announce(false);
    }
}

ConversionUi::ConversionUi(QWidget* mainWindow, engine::Encoder& encoder, QString& outputFolder)
    : QObject(mainWindow), d_(new Private(this, mainWindow, encoder, outputFolder)) {
    // The notice outlives every progress window. It is a window of its own, on the main
    // window's screen, so that the progress window does not block it.
    d_->notice = new CompletionNotice(mainWindow);
}

ConversionUi::~ConversionUi() {
    // The progress window's run calls the encoder: it goes before the encoder does.
    delete d_->progress;
    delete d_->notice;
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

CompletionNotice* ConversionUi::Notice() const {
    return d_->notice;
}

void ConversionUi::SetSoundPlayer(std::function<void()> player) {
    d_->playSound = std::move(player);
}

}  // namespace ostrel

#include "app/conversion_ui.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/completion_notice.h"
#include "app/format_dialog.h"
#include "app/progress_window.h"
#include "common/settings_store.h"
#include "conversion/conversion_run.h"
#include "conversion/run_journal.h"
#include "conversion/run_overview.h"
#include "conversion/when_done.h"
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
    // Shows the progress window over a queued run and starts it.
    void ShowAndStart(ConversionRun* run, RunJournal* journal, const QList<double>& sourceSeconds,
                      int threads);
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
    QString journalPath;
};

QString ResumeQuestion(int done, int total) {
    return QCoreApplication::translate("ostrel::ConversionUi",
                                       "The last conversion was interrupted: %1 of %2 files "
                                       "done. Convert the remaining %3?")
        .arg(done)
        .arg(total)
        .arg(total - done);
}

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
    run->Plan(rows, model.Settings(), folder);
    // The journal holds the plan before anything is queued, so a crash from here on can be
    // taken up again.
    RunJournal* journal = nullptr;
    if (!journalPath.isEmpty()) {
        journal = new RunJournal(run);
        if (!journal->Begin(journalPath, *run, SettingsToJson(model.Settings()))) {
            delete journal;
            journal = nullptr;
        }
    }
    run->QueuePlanned(encoder, [this](const RunMessage& message) { ShowRunMessage(message); });
    const int threads = qMax(1, model.Settings().CpuThreads.toInt());
    dialog->hide();

    QList<double> sourceSeconds;
    for (const FileRow& row : rows) {
        sourceSeconds.append(row.DurationSeconds);
    }
    ShowAndStart(run, journal, sourceSeconds, threads);
}

void ConversionUi::Private::ShowAndStart(ConversionRun* run, RunJournal* journal,
                                         const QList<double>& sourceSeconds, int threads) {
    // The window owns the run and shows it; the run follows the encoder's events itself. The
    // window is modal to the main window only: the notice stays clickable beside it.
    auto* window = new FormConverting(run, outputFolder, sourceSeconds, mainWindow);
    progress = window;
    window->setWindowModality(Qt::WindowModal);
    QObject::connect(window, &QDialog::finished, window, [window] { window->deleteLater(); });
    if (journal != nullptr) {
        // A run that ended, or that the user stopped or closed, leaves nothing to take up. A
        // run cut off with the main window (a logout) keeps its journal.
        QObject::connect(run, &ConversionRun::queueEnded, journal, &RunJournal::Remove);
        QObject::connect(window, &QDialog::finished, journal, &RunJournal::Remove);
    }
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
        // Only after a run that converted every file; never after a stop or a failure.
        const bool stopped = run->StopRequested() || closedEarly;
        const auto chosen = progress != nullptr && progress->WhenDoneBox() != nullptr
                                ? static_cast<WhenDone>(progress->WhenDoneBox()->currentIndex())
                                : WhenDone::Nothing;
        switch (ActionAfterRun(chosen, CountRows(run->Rows()), stopped)) {
            case WhenDone::Quit:
                QTimer::singleShot(0, mainWindow, [window = mainWindow] { window->close(); });
                break;
            case WhenDone::Suspend:
                AskLogind(PowerRequest::Suspend);
                break;
            case WhenDone::ShutDown:
                AskLogind(PowerRequest::PowerOff);
                break;
            case WhenDone::Nothing:
                break;
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
    encoder.SetTaskNice(ReadConversionNice());
    if (run->Start(encoder, threads)) {
        awake->Take(QCoreApplication::translate("ostrel::ConversionUi", "Converting files"));
    } else {
        if (journal != nullptr) {
            journal->Remove();
        }
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

void ConversionUi::SetJournalPath(const QString& path) {
    d_->journalPath = path;
}

void ConversionUi::OfferResume(const std::function<bool(const QString& question)>& ask) {
    if (d_->journalPath.isEmpty()) {
        return;
    }
    const std::optional<JournalContents> earlier = LoadJournal(d_->journalPath);
    if (!earlier) {
        QFile::remove(d_->journalPath);
        return;
    }
    QList<int> entries;
    const QList<RunRow> pending = earlier->PendingRows(&entries);
    if (pending.isEmpty() || !ask ||
        !ask(ResumeQuestion(earlier->DoneCount(), static_cast<int>(earlier->Entries.size())))) {
        QFile::remove(d_->journalPath);
        return;
    }
    d_->outputFolder = earlier->OutputFolder;
    auto* run = new ConversionRun;
    run->SetPlannedRows(pending, earlier->OutputFolder, earlier->KeepFileDate);
    auto* journal = new RunJournal(run);
    if (!journal->Resume(d_->journalPath, *run, *earlier, entries)) {
        delete journal;
        journal = nullptr;
    }
    run->QueuePlanned(d_->encoder,
                      [this](const RunMessage& message) { d_->ShowRunMessage(message); });
    d_->ShowAndStart(run, journal, QList<double>(pending.size(), 0.0),
                     qMax(1, FormatDialogModel::SystemProcessorCount()));
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

// ostrel-convert: the headless converter. It uses the same catalogue, settings rules, option
// builder, output planning and engine module as the windows, so a profile gives the same
// file from either.
#include <sys/resource.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "cli/cli_request.h"
#include "common/duration.h"
#include "common/engine_path.h"
#include "common/event_queue.h"
#include "common/file_info.h"
#include "common/messages.h"
#include "common/settings_store.h"
#include "conversion/conversion_run.h"
#include "conversion/run_journal.h"
#include "desktop/sleep_inhibitor.h"
#include "engine/engine.h"
#include "engine/loader/engine_loader.h"
#include "filelist/folder_walk.h"
#include "filelist/probe.h"
#include "profiles/catalogue.h"
#include "profiles/format_dialog_model.h"
#include "profiles/option_builder.h"

namespace ostrel {
namespace {

enum ExitStatus : int { ExitAllConverted = 0, ExitSomeFailed = 1, ExitUsage = 2 };

// The signal that asked the run to stop, or 0.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" void OnStopSignal(int signal) {
    // The first asks the run to stop, which removes what its tasks had written; a second
    // one ends the program at once.
    if (g_stopSignal.exchange(signal) != 0) {
        ::_exit(128 + signal);
    }
}

// Ctrl+Z (SIGTSTP) pauses the run before the process stops; SIGCONT (fg, bg) resumes it.
std::atomic<bool> g_pauseSignal{false};
std::atomic<bool> g_continueSignal{false};

extern "C" void OnPauseSignal(int signal) {
    (signal == SIGTSTP ? g_pauseSignal : g_continueSignal).store(true);
}

// SIGHUP (the terminal closed) stops the run as SIGINT and SIGTERM do. SIGPIPE is ignored: a
// reader of the progress lines that went away (| head) must not end the conversion; the
// writes then fail, and nothing depends on them.
void HandleSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction pause {};
    pause.sa_handler = OnPauseSignal;
    sigemptyset(&pause.sa_mask);
    for (const int signal : {SIGTSTP, SIGCONT}) {
        ::sigaction(signal, &pause, nullptr);
    }
}

// The shell's convention: 128 + the signal's number (130 after Ctrl+C, 143 after SIGTERM).
int StoppedBySignalStatus() {
    return 128 + g_stopSignal.load();
}

// Texts hold file names, written as the very bytes the file system holds.
void Write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = EncodeFileName(text);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

void PrintOut(const QString& text) {
    Write(stdout, text);
}

void PrintError(const QString& text) {
    Write(stderr, QStringLiteral("ostrel-convert: ") + text + u'\n');
}

int UsageError(const QString& text) {
    PrintError(text);
    PrintError(QStringLiteral("try 'ostrel-convert --help'"));
    return ExitUsage;
}

QString FormatSpeed(double speed) {
    return QString::number(speed, 'f', 1) + QLatin1Char('x');
}

double SecondsSince(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Shows the run on a terminal as one updating status line, elsewhere as plain lines.
class ProgressReport {
  public:
    explicit ProgressReport(const ConversionRun& run)
        : run_(run), terminal_(::isatty(::fileno(stdout)) != 0) {}

    // A progress event of a row that is still converting.
    void Progress(int row) {
        const RunRow& runRow = run_.Rows().at(row);
        const std::int64_t positionUs = runRow.PositionUs;
        const std::int64_t durationUs = runRow.DurationUs;
        const auto now = std::chrono::steady_clock::now();
        const auto started = started_.try_emplace(row, now).first->second;
        const double elapsed = SecondsSince(started);
        const double position = static_cast<double>(positionUs) / 1e6;
        const double duration = static_cast<double>(durationUs) / 1e6;
        const double speed = elapsed > 0.05 ? position / elapsed : 0.0;
        QString line = Prefix(row);
        const QString percent = PercentText(ProgressPercent(positionUs, durationUs));
        line += QStringLiteral("  ") + (percent.isEmpty() ? FormatDuration(position) : percent);
        if (speed > 0) {
            line += QStringLiteral("  ") + FormatSpeed(speed);
            if (duration > position) {
                line += QStringLiteral("  ") + FormatDuration((duration - position) / speed) +
                        QStringLiteral(" left");
            }
        }
        if (terminal_) {
            PrintOut(QStringLiteral("\r\033[K") + line);
            std::fflush(stdout);
        } else if (durationUs > 0) {
            // A plain line at every quarter.
            const int quarter = static_cast<int>(std::min(4.0, 4.0 * position / duration));
            if (quarter > lastQuarter_[row]) {
                lastQuarter_[row] = quarter;
                PrintOut(line + u'\n');
            }
        }
    }

    void Finished(int row) {
        const RunRow& runRow = run_.Rows().at(row);
        const QString line = runRow.Status == RunRowStatus::Succeeded
                                 ? Prefix(row) + QStringLiteral(" -> ") + runRow.OutputPath
                                 : Prefix(row) + QStringLiteral(": ") + StatusText(runRow);
        PrintOut((terminal_ ? QStringLiteral("\r\033[K") : QString()) + line + u'\n');
        std::fflush(stdout);
    }

  private:
    QString Prefix(int row) const {
        return QStringLiteral("[%1/%2] %3")
            .arg(row + 1)
            .arg(run_.RowCount())
            .arg(QFileInfo(run_.Rows().at(row).InputPath).fileName());
    }

    const ConversionRun& run_;
    bool terminal_;
    std::map<int, std::chrono::steady_clock::time_point> started_;
    std::map<int, int> lastQuarter_;
};

// A message box's text on one line.
QString OneLine(const QString& text) {
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines) {
        line = line.trimmed();
    }
    return lines.join(u' ');
}

bool IsEnded(RunRowStatus status) {
    return status == RunRowStatus::Succeeded || status == RunRowStatus::Failed ||
           status == RunRowStatus::Canceled;
}

int Convert(ConversionRun& run, int threads, int nice, int skipped) {
    // The queue outlives the encoder: the encoder's threads post into it until its destructor
    // has joined them.
    EventQueue queue;
    std::unique_ptr<engine::Encoder> encoder = CreateEncoder();
    encoder->SetEventPoster(queue.Poster());

    ProgressReport report(run);
    const QObject observer;
    QObject::connect(&run, &ConversionRun::rowChanged, &observer, [&](int row) {
        if (!run.StopRequested() && !IsEnded(run.Rows().at(row).Status)) {
            report.Progress(row);
        }
    });
    QObject::connect(&run, &ConversionRun::taskEnded, &observer,
                     [&report](int row) { report.Finished(row); });

    run.QueuePlanned(*encoder,
                     [](const RunMessage& message) { PrintError(OneLine(message.Text)); });
    const auto started = std::chrono::steady_clock::now();
    encoder->SetTaskNice(nice);
    if (!run.Start(*encoder, threads)) {
        if (run.QueuedTaskCount() > 0) {
            PrintError(QStringLiteral("cannot start: ") +
                       QString::fromStdString(encoder->LastError()));
        }
        PrintOut(QStringLiteral("Converted 0 of %1 files.\n").arg(run.RowCount() + skipped));
        return ExitSomeFailed;
    }
    SleepInhibitor awake;  // released when the run ends, however it ends
    awake.Take(QStringLiteral("Converting files"));
    bool toldDiskFull = false;
    while (run.CurrentState() != ConversionRun::State::Finished) {
        queue.RunPending(std::chrono::milliseconds(100));
        if (g_stopSignal != 0 && !run.StopRequested()) {
            PrintOut(QStringLiteral("\nStopping...\n"));
            run.Stop();
        }
        if (g_pauseSignal.exchange(false)) {
            // The tasks wait first, then the process stops as Ctrl+Z means; the status line is
            // ended so the shell's prompt starts on a line of its own.
            run.Pause();
            PrintOut((::isatty(::fileno(stdout)) != 0 ? QStringLiteral("\r\033[K") : QString()) +
                     QStringLiteral("Paused\n"));
            std::fflush(stdout);
            ::kill(::getpid(), SIGSTOP);
        }
        if (g_continueSignal.exchange(false) && run.Paused() != RunPause::None) {
            PrintOut(QStringLiteral("Resumed\n"));
            run.Resume();
        }
        if (run.Paused() == RunPause::DiskFull && !toldDiskFull) {
            PrintError(DiskFullText(run.PausedFreeBytes()) +
                       QStringLiteral("; free some space, then send SIGCONT to go on"));
            toldDiskFull = true;
        } else if (run.Paused() == RunPause::None) {
            toldDiskFull = false;
        }
    }

    const int converted = run.SucceededCount();
    const int failed = run.RowCount() - converted + skipped;
    PrintOut(QStringLiteral("Converted %1 of %2 files (%3 failed) in %4 s.\n")
                 .arg(converted)
                 .arg(run.RowCount() + skipped)
                 .arg(failed)
                 .arg(SecondsSince(started), 0, 'f', 1));
    if (g_stopSignal != 0) {
        return StoppedBySignalStatus();
    }
    return failed == 0 && !run.StopRequested() ? ExitAllConverted : ExitSomeFailed;
}

// "video copied", "audio copied", "video and audio copied" or "converted", as the engine
// decides for the file with its option string.
QString CopyPlanText(engine::Decoder& decoder, const RunRow& row) {
    if (!decoder.OpenFile(ToEnginePath(row.InputPath), {})) {
        return QStringLiteral("converted");
    }
    const int copied =
        decoder.CopiedStreams(ToEnginePath(row.OutputPath), row.Options.toStdString());
    decoder.CloseFile();
    const QString text = CopiedStatusText(std::max(copied, 0));
    return text == QLatin1String("OK") ? QStringLiteral("converted")
                                       : text.mid(4, text.size() - 5);  // inside "OK (...)"
}

int Run(const QStringList& arguments) {
    QString error;
    const std::optional<CliRequest> request = ParseCliArguments(arguments, error);
    if (!request) {
        return UsageError(error);
    }
    if (request->Help) {
        PrintOut(CliUsage());
        return ExitAllConverted;
    }
    if (request->ListProfiles) {
        PrintOut(ProfileListing().join(u'\n') + u'\n');
        return ExitAllConverted;
    }
    if (!request->Describe.isEmpty()) {
        const ProfileEntry* described = FindProfileByText(request->Describe);
        if (described == nullptr) {
            return UsageError(QStringLiteral("unknown profile \"%1\" (see --list-profiles)")
                                  .arg(request->Describe));
        }
        PrintOut(ProfileDescription(*described).join(u'\n') + u'\n');
        return ExitAllConverted;
    }

    const ProfileEntry* profile = FindProfileByText(request->Profile);
    if (profile == nullptr) {
        return UsageError(
            QStringLiteral("unknown profile \"%1\" (see --list-profiles)").arg(request->Profile));
    }
    const QString folder = NormaliseOutputFolder(AbsolutePath(request->Output));
    if (!IsAcceptedOutputFolder(folder)) {
        return UsageError(QStringLiteral("invalid output folder %1: it must exist and be writable")
                              .arg(request->Output));
    }

    FormatDialogModel model(folder);
    if (const QString e = ApplyCliSettings(*request, *profile, model); !e.isEmpty()) {
        return UsageError(e);
    }
    const int threads = request->Threads > 0
                            ? request->Threads
                            : std::max(1, FormatDialogModel::SystemProcessorCount());

    // The whole command runs at the conversion's priority, from before its first thread: it has
    // no window to keep responsive, and threads of one process at different priorities made a
    // short run about a tenth slower than all of them at the lower one.
    const int nice = request->Nice >= 0 ? request->Nice : ReadConversionNice();
    if (nice > 0) {
        setpriority(PRIO_PROCESS, 0, nice);
    }
    if (request->Verbose) {
        // Read by the engine when it first routes the media libraries' log.
        ::setenv("OSTREL_ENGINE_LOG", "verbose", 1);
    }
    const QString engineFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                 QLatin1String(engine::kEngineFolderName);
    if (!LoadEngine(ToEnginePath(engineFolder))) {
        PrintError(QStringLiteral("Video lib not found: ") +
                   QString::fromStdString(EngineLoadError()));
        return ExitSomeFailed;
    }

    std::unique_ptr<engine::Decoder> decoder = CreateDecoder();
    // A journal of an unfinished run is taken up: its plan, less the files done.
    ConversionRun run;
    RunJournal journal;
    int skipped = 0;
    std::optional<JournalContents> earlier;
    if (!request->Journal.isEmpty()) {
        earlier = LoadJournal(request->Journal);
    }
    if (earlier) {
        QList<int> entries;
        run.SetPlannedRows(earlier->PendingRows(&entries), earlier->OutputFolder,
                           earlier->KeepFileDate);
        PrintOut(QStringLiteral("Taking up %1: %2 of %3 files done.\n")
                     .arg(request->Journal)
                     .arg(earlier->DoneCount())
                     .arg(earlier->Entries.size()));
        if (!request->DryRun && !journal.Resume(request->Journal, run, *earlier, entries)) {
            PrintError(QStringLiteral("cannot write the journal ") + request->Journal);
            return ExitSomeFailed;
        }
    } else {
        // The whole list: the arguments in order, a folder (with --recursive) as its media
        // files folder by folder, files listed twice (under any name) once.
        QList<FileRow> rows;
        QStringList listed;
        int notMedia = 0;
        const auto list = [&](const QString& path, const QString& relativeFolder) {
            const QString key = SameFileKey(path);
            if (!listed.contains(key)) {
                listed.append(key);
                FileRow row;
                row.FileName = path;
                row.RelativeFolder = relativeFolder;
                rows.append(row);
            }
        };
        for (const QString& argument : request->Files) {
            const QString path = AbsolutePath(argument);
            if (KindOf(path) != FileKind::Folder) {
                list(path, QString());
            } else if (!request->Recursive) {
                PrintError(OneLine(CanNotOpenText(path, kNotRegularFileText)) +
                           QStringLiteral(" (add --recursive to convert the files in a folder)"));
                ++skipped;
            } else {
                const FolderWalk walk = WalkFolder(path);
                for (const FoundFile& found : walk.Files) {
                    list(found.Path, found.RelativeFolder);
                }
                notMedia += walk.SkippedFiles;
                if (walk.UnreadableFolders > 0) {
                    PrintError(QStringLiteral("%1 folder(s) under %2 could not be read")
                                   .arg(walk.UnreadableFolders)
                                   .arg(path));
                }
            }
        }
        if (notMedia > 0) {
            PrintError(QStringLiteral("skipped %1 file(s) that are not media files").arg(notMedia));
        }
        // Only this share's files are probed; the whole list is planned, so every share
        // names its outputs as one run over the whole list would.
        QList<bool> probed;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (g_stopSignal != 0) {
                return StoppedBySignalStatus();
            }
            if (!InShard(*request, static_cast<int>(i))) {
                probed.append(false);
                continue;
            }
            const ProbeResult probe = ProbeFile(*decoder, rows[i].FileName);
            if (!probe.Opened) {
                PrintError(OneLine(CanNotOpenText(rows[i].FileName, probe.Error)));
                ++skipped;
                probed.append(false);
                continue;
            }
            const QString relativeFolder = rows[i].RelativeFolder;
            rows[i] = probe.Row;
            rows[i].RelativeFolder = relativeFolder;
            probed.append(true);
        }
        run.Plan(rows, model.Settings(), folder);
        qsizetype index = 0;
        run.KeepPlannedRows([&](const RunRow&) { return probed.at(index++); });
        if (request->NoMetadata) {
            run.AppendPlannedOptions(QStringLiteral("-map_metadata -1"));
        }
        if (!request->Journal.isEmpty() && !request->DryRun &&
            !journal.Begin(request->Journal, run, SettingsToJson(model.Settings()))) {
            PrintError(QStringLiteral("cannot write the journal ") + request->Journal);
            return ExitSomeFailed;
        }
    }

    if (request->DryRun) {
        // With copying on, a fourth column says which streams would go in as they are.
        const bool copying = model.Settings().CopyStreamsThatFit;
        for (const RunRow& row : run.Rows()) {
            QString line = row.InputPath + u'\t' + row.OutputPath + u'\t' + row.Options;
            if (copying) {
                line += u'\t' + CopyPlanText(*decoder, row);
            }
            PrintOut(line + u'\n');
        }
        return skipped == 0 ? ExitAllConverted : ExitSomeFailed;
    }
    if (run.RowCount() == 0) {
        if (earlier) {
            return ExitAllConverted;  // every file of the journal is done
        }
        PrintError(QStringLiteral("no file to convert"));
        return ExitSomeFailed;
    }
    return Convert(run, threads, nice, skipped);
}

}  // namespace
}  // namespace ostrel

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrel-convert"));
    ostrel::HandleSignals();
    // From argv's bytes, not QCoreApplication::arguments(), which loses names that are not
    // UTF-8.
    QStringList arguments = ostrel::ArgumentsOf(argc, argv);
    arguments.removeFirst();
    return ostrel::Run(arguments);
}

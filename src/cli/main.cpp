// ostrel-convert: the headless converter. It uses the same catalogue, settings rules, option
// builder, output planning and engine module as the windows, so a profile gives the same
// file from either.
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
#include "desktop/sleep_inhibitor.h"
#include "engine/engine.h"
#include "engine/loader/engine_loader.h"
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
    while (run.CurrentState() != ConversionRun::State::Finished) {
        queue.RunPending(std::chrono::milliseconds(100));
        if (g_stopSignal != 0 && !run.StopRequested()) {
            PrintOut(QStringLiteral("\nStopping...\n"));
            run.Stop();
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

    // Probe in the order given, skipping files listed twice (under any name), then plan
    // every output path.
    std::unique_ptr<engine::Decoder> decoder = CreateDecoder();
    QList<FileRow> rows;
    QStringList listed;
    int skipped = 0;
    for (const QString& argument : request->Files) {
        if (g_stopSignal != 0) {
            return StoppedBySignalStatus();
        }
        const QString path = AbsolutePath(argument);
        const QString key = SameFileKey(path);
        if (listed.contains(key)) {
            continue;
        }
        const ProbeResult probe = ProbeFile(*decoder, path);
        if (!probe.Opened) {
            PrintError(OneLine(CanNotOpenText(path, probe.Error)));
            ++skipped;
            continue;
        }
        listed.append(key);
        rows.append(probe.Row);
    }
    ConversionRun run;
    run.Plan(rows, model.Settings(), folder);
    if (request->NoMetadata) {
        run.AppendPlannedOptions(QStringLiteral("-map_metadata -1"));
    }

    if (request->DryRun) {
        for (const RunRow& row : run.Rows()) {
            PrintOut(row.InputPath + u'\t' + row.OutputPath + u'\t' + row.Options + u'\n');
        }
        return skipped == 0 ? ExitAllConverted : ExitSomeFailed;
    }
    if (rows.isEmpty()) {
        PrintError(QStringLiteral("no file to convert"));
        return ExitSomeFailed;
    }
    return Convert(run, threads, request->Nice >= 0 ? request->Nice : ReadConversionNice(),
                   skipped);
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

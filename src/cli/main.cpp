// ostrel-convert: the headless converter. It uses the same catalogue, settings rules, option
// builder, output planning and engine module as the windows, so a profile gives the same
// file from either.
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "cli/cli_request.h"
#include "common/duration.h"
#include "conversion/output_plan.h"
#include "engine/engine.h"
#include "engine/loader/engine_loader.h"
#include "filelist/probe.h"
#include "profiles/catalogue.h"
#include "profiles/format_dialog_model.h"
#include "profiles/option_builder.h"

namespace ostrel {
namespace {

enum ExitStatus : int { ExitAllConverted = 0, ExitSomeFailed = 1, ExitUsage = 2 };

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted = true;
}

void PrintOut(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
}

void PrintError(const QString& text) {
    const QByteArray bytes = (QStringLiteral("ostrel-convert: ") + text + u'\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
}

int UsageError(const QString& text) {
    PrintError(text);
    PrintError(QStringLiteral("try 'ostrel-convert --help'"));
    return ExitUsage;
}

// Engine events are handed to this queue by the engine's threads and run on the main thread.
class EventQueue {
  public:
    void Post(std::function<void()> event) {
        {
            const std::lock_guard lock(mutex_);
            events_.push_back(std::move(event));
        }
        ready_.notify_one();
    }

    // Runs the events that arrived; waits up to timeout for the first.
    void RunPending(std::chrono::milliseconds timeout) {
        std::deque<std::function<void()>> batch;
        {
            std::unique_lock lock(mutex_);
            ready_.wait_for(lock, timeout, [this] { return !events_.empty(); });
            batch.swap(events_);
        }
        for (auto& event : batch) {
            event();
        }
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> events_;
};

struct PlannedFile {
    QString Input;
    QString Output;
    QString Options;
    double DurationSeconds = 0.0;
    int Task = -1;
    bool Finished = false;
    bool Succeeded = false;
    QString Error;
    std::int64_t PositionUs = 0;
    std::int64_t DurationUs = 0;
    std::chrono::steady_clock::time_point Started;
};

QString FormatSpeed(double speed) {
    return QString::number(speed, 'f', 1) + QLatin1Char('x');
}

// Shows the run on a terminal as one updating status line, elsewhere as plain lines.
class ProgressReport {
  public:
    explicit ProgressReport(int fileCount)
        : terminal_(::isatty(::fileno(stdout)) != 0), fileCount_(fileCount) {}

    void Progress(int number, PlannedFile& file) {
        if (file.Started == std::chrono::steady_clock::time_point{}) {
            file.Started = std::chrono::steady_clock::now();
        }
        const double elapsed = Seconds(file.Started);
        const double position = static_cast<double>(file.PositionUs) / 1e6;
        const double duration = static_cast<double>(file.DurationUs) / 1e6;
        const double speed = elapsed > 0.05 ? position / elapsed : 0.0;
        QString line = QStringLiteral("[%1/%2] %3")
                           .arg(number)
                           .arg(fileCount_)
                           .arg(QFileInfo(file.Input).fileName());
        int percent = -1;
        if (duration > 0) {
            percent = std::clamp(static_cast<int>(position * 100.0 / duration), 0, 100);
            line += QStringLiteral("  %1%").arg(percent);
        } else {
            line += QStringLiteral("  ") + FormatDuration(position);
        }
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
        } else if (percent >= 0 && percent / 25 > lastQuarter_[number]) {
            lastQuarter_[number] = percent / 25;  // a plain line at every quarter
            PrintOut(line + u'\n');
        }
    }

    void Finished(int number, const PlannedFile& file) {
        const QString name = QFileInfo(file.Input).fileName();
        const QString line = file.Succeeded ? QStringLiteral("[%1/%2] OK      %3 -> %4")
                                                  .arg(number)
                                                  .arg(fileCount_)
                                                  .arg(name, file.Output)
                                            : QStringLiteral("[%1/%2] FAILED  %3: %4")
                                                  .arg(number)
                                                  .arg(fileCount_)
                                                  .arg(name, file.Error);
        PrintOut((terminal_ ? QStringLiteral("\r\033[K") : QString()) + line + u'\n');
        std::fflush(stdout);
    }

    static double Seconds(std::chrono::steady_clock::time_point since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    }

  private:
    bool terminal_;
    int fileCount_;
    std::map<int, int> lastQuarter_;
};

int Convert(std::vector<PlannedFile>& files, int threads, int skipped) {
    std::unique_ptr<engine::Encoder> encoder = CreateEncoder();
    EventQueue queue;
    encoder->SetEventPoster(
        [&queue](std::function<void()> event) { queue.Post(std::move(event)); });

    ProgressReport report(static_cast<int>(files.size()));
    std::map<int, std::size_t> fileOfTask;
    bool queueEnded = false;
    engine::EncoderEvents events;
    events.TaskProgress = [&](int task, std::int64_t positionUs, std::int64_t durationUs) {
        const auto it = fileOfTask.find(task);
        if (it == fileOfTask.end()) {
            return;
        }
        PlannedFile& file = files[it->second];
        file.PositionUs = positionUs;
        file.DurationUs = durationUs;
        report.Progress(static_cast<int>(it->second) + 1, file);
    };
    events.TaskFinished = [&](int task, bool success, bool, const std::string& errorText) {
        if (task < 0) {
            queueEnded = true;
            return;
        }
        const auto it = fileOfTask.find(task);
        if (it == fileOfTask.end()) {
            return;
        }
        PlannedFile& file = files[it->second];
        file.Finished = true;
        file.Succeeded = success;
        // After Ctrl+C the engine ends every unfinished task; say so rather than blame the file.
        file.Error = g_interrupted && !success ? QStringLiteral("Canceled")
                                               : QString::fromStdString(errorText);
        report.Finished(static_cast<int>(it->second) + 1, file);
    };
    encoder->SetEvents(events);

    encoder->ClearTasks();
    int failed = skipped;
    for (std::size_t i = 0; i < files.size(); ++i) {
        PlannedFile& file = files[i];
        const int input = encoder->OpenInput(QFile::encodeName(file.Input).toStdString(), {});
        int task = -1;
        if (input >= 0) {
            task = encoder->AddOutput(input, QFile::encodeName(file.Output).toStdString(),
                                      file.Options.toStdString());
            if (task < 0) {
                file.Error = QString::fromStdString(encoder->LastError());
                encoder->CloseInput(input);
            }
        } else {
            file.Error = QString::fromStdString(encoder->LastError());
        }
        if (task < 0) {
            file.Finished = true;
            report.Finished(static_cast<int>(i) + 1, file);
            ++failed;
            continue;
        }
        file.Task = task;
        fileOfTask[task] = i;
    }
    if (fileOfTask.empty()) {
        PrintOut(QStringLiteral("Converted 0 of %1 files.\n").arg(files.size() + skipped));
        return ExitSomeFailed;
    }

    const auto started = std::chrono::steady_clock::now();
    if (encoder->StartTasks(threads) < 0) {
        PrintError(QStringLiteral("cannot start: ") + QString::fromStdString(encoder->LastError()));
        return ExitSomeFailed;
    }
    bool stopAsked = false;
    while (!queueEnded) {
        queue.RunPending(std::chrono::milliseconds(100));
        if (g_interrupted && !stopAsked) {
            stopAsked = true;
            PrintOut(QStringLiteral("\nStopping...\n"));
            encoder->StopTasks(false);
        }
    }

    int converted = 0;
    for (PlannedFile& file : files) {
        if (file.Task >= 0 && file.Succeeded) {
            ++converted;
        } else if (file.Task >= 0) {
            ++failed;
            if (!file.Finished) {
                file.Error = QStringLiteral("Canceled");
            }
        }
    }
    PrintOut(QStringLiteral("Converted %1 of %2 files (%3 failed) in %4 s.\n")
                 .arg(converted)
                 .arg(files.size() + static_cast<std::size_t>(skipped))
                 .arg(failed)
                 .arg(ProgressReport::Seconds(started), 0, 'f', 1));
    return failed == 0 && !stopAsked ? ExitAllConverted : ExitSomeFailed;
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

    const ProfileEntry* profile = FindProfileByText(request->Profile);
    if (profile == nullptr) {
        return UsageError(
            QStringLiteral("unknown profile \"%1\" (see --list-profiles)").arg(request->Profile));
    }
    const QString folder = NormaliseOutputFolder(QDir(request->Output).absolutePath());
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

    const QString engineFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                 QLatin1String(engine::kEngineFolderName);
    if (!LoadEngine(QFile::encodeName(engineFolder).toStdString())) {
        PrintError(QStringLiteral("Video lib not found: ") +
                   QString::fromStdString(EngineLoadError()));
        return ExitSomeFailed;
    }

    // Probe in the order given, skipping files listed twice, then plan every output path.
    std::unique_ptr<engine::Decoder> decoder = CreateDecoder();
    OptionBuilder builder(model.Settings());
    OutputPlanner planner;
    std::vector<PlannedFile> files;
    QStringList listed;
    int skipped = 0;
    for (const QString& argument : request->Files) {
        const QString path = QFileInfo(argument).absoluteFilePath();
        if (listed.contains(path)) {
            continue;
        }
        const ProbeResult probe = ProbeFile(*decoder, path);
        if (!probe.Opened) {
            PrintError(QStringLiteral("Can not open file: %1: %2").arg(path, probe.Error));
            ++skipped;
            continue;
        }
        listed.append(path);
        const EncoderJob job = builder.BuildEncoderOptions(probe.Row);
        PlannedFile file;
        file.Input = path;
        file.Output = planner.Plan(path, OutputPathFor(folder, path, job.OutputExtension));
        file.Options = job.EncoderOptions;
        file.DurationSeconds = probe.Row.DurationSeconds;
        files.push_back(file);
    }

    if (request->DryRun) {
        for (const PlannedFile& file : files) {
            PrintOut(file.Input + u'\t' + file.Output + u'\t' + file.Options + u'\n');
        }
        return skipped == 0 ? ExitAllConverted : ExitSomeFailed;
    }
    if (files.empty()) {
        PrintError(QStringLiteral("no file to convert"));
        return ExitSomeFailed;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    return Convert(files, threads, skipped);
}

}  // namespace
}  // namespace ostrel

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrel-convert"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return ostrel::Run(arguments);
}

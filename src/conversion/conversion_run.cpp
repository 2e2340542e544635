#include "conversion/conversion_run.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "common/engine_path.h"
#include "common/messages.h"
#include "conversion/output_plan.h"
#include "engine/engine.h"
#include "filelist/folder_walk.h"
#include "profiles/option_builder.h"

namespace ostrel {
namespace {

SourceFacts FactsOf(const FileRow& row) {
    SourceFacts facts;
    facts.HasVideo = row.HasVideo;
    facts.HasAudio = row.HasAudio;
    if (row.HasVideo) {
        facts.Width = row.VideoWidth;
        facts.Height = row.VideoHeight;
    }
    return facts;
}

}  // namespace

RunMessage CannotConvertMessage(const QString& outputPath, const QString& errorText) {
    return {QCoreApplication::translate("ostrel::ConversionRun", "Error"),
            QCoreApplication::translate(
                "ostrel::ConversionRun",
                "Cannot convert.%1\nError: %2\nPlease try to convert it to another format")
                .arg(outputPath, errorText)};
}

std::optional<int> ProgressPercent(std::int64_t positionUs, std::int64_t durationUs) {
    if (durationUs <= 0) {
        return std::nullopt;
    }
    // The whole per cent rounded down. Position × 100 is exact in long double for any real
    // duration, so an exact ratio (29 of 100) never drifts below its whole number. A position
    // before the start counts as 0.
    const std::int64_t position = positionUs < 0 ? 0 : positionUs;
    const long double percent =
        static_cast<long double>(position) * 100.0L / static_cast<long double>(durationUs);
    // The last packets can end a little after the input's stated duration; a file never shows
    // more than done.
    return static_cast<int>(std::min(100.0L, std::floor(percent)));
}

QString PercentText(std::optional<int> percent) {
    return percent ? QString::number(*percent) + QLatin1Char('%') : QString();
}

QString ProgressText(const RunRow& row) {
    return PercentText(row.Percent);
}

QString CopiedStatusText(int copiedStreams) {
    const bool video = (copiedStreams & engine::kCopiedVideoStream) != 0;
    const bool audio = (copiedStreams & engine::kCopiedAudioStream) != 0;
    const char* text =
        video && audio ? QT_TRANSLATE_NOOP("ostrel::ConversionRun", "OK (video and audio copied)")
        : video        ? QT_TRANSLATE_NOOP("ostrel::ConversionRun", "OK (video copied)")
        : audio        ? QT_TRANSLATE_NOOP("ostrel::ConversionRun", "OK (audio copied)")
                       : QT_TRANSLATE_NOOP("ostrel::ConversionRun", "OK");
    return QCoreApplication::translate("ostrel::ConversionRun", text);
}

QString StatusText(const RunRow& row) {
    switch (row.Status) {
        case RunRowStatus::Converting:
            return QCoreApplication::translate("ostrel::ConversionRun", "Converting...");
        case RunRowStatus::Succeeded:
            return CopiedStatusText(row.CopiedStreams);
        case RunRowStatus::Failed:
            // The engine's own reason is English; only the frame around it is translated.
            return QCoreApplication::translate("ostrel::ConversionRun", "Error: %1")
                .arg(row.ErrorText);
        case RunRowStatus::Canceled:
            return QCoreApplication::translate("ostrel::ConversionRun", "Canceled");
        case RunRowStatus::None:
            break;
    }
    return {};
}

DiskSpace QueryDiskSpace(const QString& folder) {
    const QStorageInfo storage(folder);
    if (!storage.isValid()) {
        return {};
    }
    return {storage.bytesAvailable(), storage.bytesTotal()};
}

qint64 DiskMarginBytes(qint64 totalBytes) {
    constexpr qint64 kGiB = qint64(1) << 30;
    return std::max(kGiB, totalBytes / 50);
}

QString DiskFullText(qint64 freeBytes) {
    const double gigabytes = static_cast<double>(std::max<qint64>(0, freeBytes)) / 1e9;
    return QCoreApplication::translate("ostrel::ConversionRun",
                                       "Paused: the output disk is almost full (%1 GB free)")
        .arg(QString::number(gigabytes, 'f', 1));
}

namespace {

// Bits per second of "-b:v 1000k", "-ab 128k" and the like in an option string.
double OptionBitsPerSecond(const QString& options) {
    static const QRegularExpression rate(
        QStringLiteral("(?:^|\\s)-(?:b:v|b:a|ab|b)\\s+(\\d+(?:\\.\\d+)?)([kKmM]?)"));
    double total = 0;
    for (const QRegularExpressionMatch& match : rate.globalMatch(options)) {
        double value = match.captured(1).toDouble();
        const QString unit = match.captured(2).toLower();
        value *= unit == QLatin1String("k") ? 1e3 : unit == QLatin1String("m") ? 1e6 : 1.0;
        total += value;
    }
    return total;
}

}  // namespace

ConversionRun::ConversionRun(QObject* parent) : QObject(parent) {}

qint64 ConversionRun::BytesStillToWrite() const {
    const auto estimate = [](const RunRow& row, bool whole) {
        const double seconds = static_cast<double>(row.DurationUs) / 1e6;
        const double left =
            whole ? seconds : std::max(0.0, seconds - static_cast<double>(row.PositionUs) / 1e6);
        double bitsPerSecond = OptionBitsPerSecond(row.Options);
        if (bitsPerSecond <= 0 && seconds > 0) {
            // No rate chosen: about the input's own.
            bitsPerSecond = static_cast<double>(QFileInfo(row.InputPath).size()) * 8 / seconds;
        }
        if (seconds <= 0) {
            return static_cast<double>(QFileInfo(row.InputPath).size());
        }
        return bitsPerSecond / 8 * left;
    };
    double bytes = 0;
    bool nextCounted = false;
    for (const RunRow& row : rows_) {
        if (row.Task < 0) {
            continue;
        }
        if (row.Status == RunRowStatus::Converting) {
            bytes += estimate(row, false);
        } else if (row.Status == RunRowStatus::None && !nextCounted) {
            bytes += estimate(row, true);  // the next task to start
            nextCounted = true;
        }
    }
    return static_cast<qint64>(bytes);
}

void ConversionRun::CheckDiskSpace() {
    if (state_ != State::Running || pause_ != RunPause::None || !diskSpace_) {
        return;
    }
    const DiskSpace space = diskSpace_(outputFolder_);
    if (space.FreeBytes < 0) {
        return;
    }
    if (space.FreeBytes - BytesStillToWrite() < DiskMarginBytes(space.TotalBytes)) {
        pausedFreeBytes_ = space.FreeBytes;
        pause_ = RunPause::DiskFull;
        if (encoder_ != nullptr) {
            encoder_->PauseTasks(true);
        }
        emit stateChanged();
    }
}

void ConversionRun::Pause() {
    if (state_ != State::Running || pause_ != RunPause::None) {
        return;
    }
    pause_ = RunPause::User;
    if (encoder_ != nullptr) {
        encoder_->PauseTasks(true);
    }
    emit stateChanged();
}

void ConversionRun::Resume() {
    if (pause_ == RunPause::None) {
        return;
    }
    pause_ = RunPause::None;
    pausedFreeBytes_ = -1;
    if (encoder_ != nullptr) {
        encoder_->PauseTasks(false);
    }
    emit stateChanged();
    // Still too full: it pauses again at once rather than failing the files one by one.
    CheckDiskSpace();
}

void ConversionRun::Queue(engine::Encoder& encoder, const QList<FileRow>& rows,
                          const OutputSettings& settings, const QString& outputFolder,
                          const RunMessageFunction& message) {
    Plan(rows, settings, outputFolder);
    QueuePlanned(encoder, message);
}

void ConversionRun::Plan(const QList<FileRow>& rows, const OutputSettings& settings,
                         const QString& outputFolder) {
    ++generation_;
    rows_.clear();
    rowOfTask_.clear();
    queuedTasks_ = 0;
    stopRequested_ = false;
    encoder_ = nullptr;
    outputFolder_ = outputFolder;
    keepFileDate_ = settings.KeepFileDate == ChoiceYes;
    SetState(State::None);

    // Every output path is planned before anything is queued, so no task of this run can
    // overwrite an input, another task's output or a file that was there before.
    OptionBuilder builder(settings);
    OutputPlanner planner;
    for (const FileRow& row : rows) {
        const OptionBuilderResult built = builder.BuildEncoderOptions(FactsOf(row));
        RunRow runRow;
        runRow.InputPath = row.FileName;
        if (settings.KeepFolderStructure == ChoiceYes) {
            runRow.Subfolder = SafeRelativeFolder(row.RelativeFolder);
        }
        // Clashes are settled per folder: the planner sees full paths.
        runRow.OutputPath = planner.Plan(
            row.FileName,
            OutputPathFor(outputFolder + runRow.Subfolder, row.FileName, built.OutputExtension));
        runRow.Options = built.EncoderOptions;
        rows_.append(runRow);
    }
}

void ConversionRun::SetPlannedRows(const QList<RunRow>& rows, const QString& outputFolder,
                                   bool keepFileDate) {
    ++generation_;
    rows_ = rows;
    rowOfTask_.clear();
    queuedTasks_ = 0;
    stopRequested_ = false;
    encoder_ = nullptr;
    outputFolder_ = outputFolder;
    keepFileDate_ = keepFileDate;
    SetState(State::None);
}

void ConversionRun::KeepPlannedRows(const std::function<bool(const RunRow&)>& keep) {
    rows_.removeIf([&keep](const RunRow& row) { return !keep(row); });
}

void ConversionRun::AppendPlannedOptions(const QString& options) {
    for (RunRow& row : rows_) {
        row.Options += u' ' + options;
    }
}

void ConversionRun::QueuePlanned(engine::Encoder& encoder, const RunMessageFunction& message) {
    const auto fail = [&](RunRow& runRow, const RunMessage& shown, const QString& error) {
        runRow.Status = RunRowStatus::Failed;
        runRow.ErrorText = error;
        if (message) {
            message(shown);
        }
    };
    SetState(State::Queued);
    encoder.ClearTasks();
    for (qsizetype i = 0; i < rows_.size(); ++i) {
        RunRow& runRow = rows_[i];
        if (runRow.Status == RunRowStatus::Failed) {
            continue;  // settled already (its folder could not be made)
        }
        if (!runRow.Subfolder.isEmpty()) {
            const QString error = CreateOutputSubfolders(outputFolder_, runRow.Subfolder);
            if (!error.isEmpty()) {
                fail(runRow, CannotConvertMessage(runRow.OutputPath, error), error);
                continue;
            }
        }
        const int input = encoder.OpenInput(ToEnginePath(runRow.InputPath), std::string());
        if (input < 0) {
            const QString error = FromEnginePath(encoder.LastError());  // it may name the file
            fail(runRow, {kApplicationTitle, CanNotOpenText(runRow.InputPath, error)}, error);
            continue;
        }
        const int added =
            encoder.AddOutput(input, ToEnginePath(runRow.OutputPath), runRow.Options.toStdString());
        if (added < 0) {
            encoder.CloseInput(input);
            const QString error = FromEnginePath(encoder.LastError());  // it may name the file
            fail(runRow, CannotConvertMessage(runRow.OutputPath, error), error);
            continue;
        }
        // The encoder numbers its tasks from 0 in queue order; a file that was not queued
        // takes no number, so the mapping keeps every later row on its own file.
        runRow.Task = queuedTasks_++;
        rowOfTask_.append(static_cast<int>(i));
    }
}

bool ConversionRun::Start(engine::Encoder& encoder, int threads) {
    encoder_ = &encoder;
    const int generation = ++generation_;
    // The handlers run on the host's thread, through the poster. They reach the run only while
    // it lives and only for events of this start.
    const auto live = [run = QPointer<ConversionRun>(this), generation]() -> ConversionRun* {
        return run != nullptr && run->generation_ == generation ? run.data() : nullptr;
    };
    engine::EncoderEvents events;
    events.TaskProgress = [live](int task, std::int64_t positionUs, std::int64_t durationUs) {
        if (ConversionRun* run = live()) {
            run->OnTaskProgress(task, positionUs, durationUs);
        }
    };
    events.TaskFinished = [live](int task, engine::TaskOutcome outcome,
                                 const std::string& errorText) {
        if (ConversionRun* run = live()) {
            run->OnTaskFinished(task, outcome, QString::fromStdString(errorText));
        }
    };
    events.StreamsCopied = [live](int task, int copiedStreams) {
        if (ConversionRun* run = live()) {
            run->OnStreamsCopied(task, copiedStreams);
        }
    };
    events.OutputWritten = [live](int task, const std::string& outputPath) {
        if (ConversionRun* run = live()) {
            run->OnOutputWritten(task, FromEnginePath(outputPath));
        }
    };
    encoder.SetEvents(std::move(events));

    // The encoder is started even with nothing queued. When it has nothing to start or cannot
    // start, no end of queue will ever be reported, so nobody waits for one.
    const bool started = encoder.StartTasks(threads) >= 0;
    if (!started || queuedTasks_ == 0) {
        SetState(State::Finished);
        return false;
    }
    SetState(State::Running);
    // The check repeats on the host's event loop; without one (a test driving the run by
    // hand) it is made when asked.
    if (diskTimer_ == nullptr && QCoreApplication::instance() != nullptr) {
        diskTimer_ = new QTimer(this);
        diskTimer_->setInterval(kDiskCheckIntervalMs);
        connect(diskTimer_, &QTimer::timeout, this, &ConversionRun::CheckDiskSpace);
    }
    if (diskTimer_ != nullptr) {
        diskTimer_->start();
    }
    CheckDiskSpace();
    return true;
}

void ConversionRun::Stop() {
    stopRequested_ = true;
    pause_ = RunPause::None;
    if (state_ == State::Running || state_ == State::Queued) {
        SetState(State::Stopped);
    }
    if (encoder_ != nullptr) {
        encoder_->StopTasks(false);
    }
}

void ConversionRun::Abandon() {
    ++generation_;
    if (encoder_ != nullptr) {
        encoder_->StopTasks(false);
    }
}

int ConversionRun::RowOfTask(int task) const {
    if (task < 0 || task >= rowOfTask_.size()) {
        return -1;
    }
    return rowOfTask_[task];
}

int ConversionRun::SucceededCount() const {
    return static_cast<int>(std::ranges::count(rows_, RunRowStatus::Succeeded, &RunRow::Status));
}

void ConversionRun::SetState(State state) {
    if (state_ != state) {
        state_ = state;
        if (state != State::Running && diskTimer_ != nullptr) {
            diskTimer_->stop();
        }
        if (state == State::Finished) {
            pause_ = RunPause::None;
        }
        emit stateChanged();
    }
}

void ConversionRun::OnTaskProgress(int task, std::int64_t positionUs, std::int64_t durationUs) {
    const int row = RowOfTask(task);
    if (row < 0) {
        return;
    }
    RunRow& runRow = rows_[row];
    runRow.PositionUs = positionUs;
    runRow.DurationUs = durationUs;
    if (stopRequested_) {
        runRow.Status = RunRowStatus::Canceled;
    } else if (const std::optional<int> percent = ProgressPercent(positionUs, durationUs)) {
        // With an unknown duration the texts stay as they are.
        runRow.Percent = percent;
        runRow.Status = RunRowStatus::Converting;
    }
    emit rowChanged(row);
}

void ConversionRun::OnStreamsCopied(int task, int copiedStreams) {
    if (const int row = RowOfTask(task); row >= 0) {
        rows_[row].CopiedStreams = copiedStreams;
    }
}

void ConversionRun::OnOutputWritten(int task, const QString& outputPath) {
    const int row = RowOfTask(task);
    if (row < 0 || outputPath.isEmpty() || rows_[row].OutputPath == outputPath) {
        return;
    }
    rows_[row].OutputPath = outputPath;
    emit rowChanged(row);
}

void ConversionRun::OnTaskFinished(int task, engine::TaskOutcome outcome,
                                   const QString& errorText) {
    if (task < 0) {
        if (state_ != State::Finished) {
            SetState(State::Finished);
            emit queueEnded();
        }
        return;
    }
    const int row = RowOfTask(task);
    if (row < 0) {
        return;
    }
    RunRow& runRow = rows_[row];
    switch (outcome) {
        case engine::TaskOutcome::Succeeded:
            // The engine has renamed the complete output into place; only now does it get its
            // input's date, so a half-written file never carries it.
            if (keepFileDate_) {
                CopyModificationTime(runRow.InputPath, runRow.OutputPath);
            }
            runRow.Percent = 100;
            runRow.Status = RunRowStatus::Succeeded;
            break;
        case engine::TaskOutcome::Stopped:
            runRow.Status = RunRowStatus::Canceled;
            break;
        case engine::TaskOutcome::Failed:
            // Also after Stop: a task the stop ended reports Stopped, so a failure is the
            // file's own and its reason must stay readable.
            runRow.Status = RunRowStatus::Failed;
            runRow.ErrorText = errorText;
            break;
        case engine::TaskOutcome::None:
            return;
    }
    emit rowChanged(row);
    emit taskEnded(row);
}

}  // namespace ostrel

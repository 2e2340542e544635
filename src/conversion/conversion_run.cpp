#include "conversion/conversion_run.h"

#include <algorithm>
#include <cmath>

#include "conversion/output_plan.h"
#include "engine/engine.h"
#include "profiles/option_builder.h"

namespace ostrel {

RunMessage CannotOpenMessage(const QString& inputPath, const QString& errorText) {
    return {kApplicationTitle, QStringLiteral("Can not open file: \n") + inputPath +
                                   QStringLiteral("\n\nError: \n") + errorText};
}

RunMessage CannotConvertMessage(const QString& outputPath, const QString& errorText) {
    return {QStringLiteral("Error"), QStringLiteral("Cannot convert.") + outputPath +
                                         QStringLiteral("\nError: ") + errorText +
                                         QStringLiteral("\nPlease try to convert it to another "
                                                        "format")};
}

QString ProgressText(std::int64_t positionUs, std::int64_t durationUs) {
    if (durationUs <= 0) {
        return {};
    }
    // The whole per cent rounded down. Position × 100 is exact in long double for any real
    // duration, so an exact ratio (29 of 100) never drifts below its whole number. A position
    // before the start counts as 0.
    const std::int64_t position = positionUs < 0 ? 0 : positionUs;
    const long double percent =
        static_cast<long double>(position) * 100.0L / static_cast<long double>(durationUs);
    // The last packets can end a little after the input's stated duration; a file never shows
    // more than done.
    const auto whole = std::min(100LL, static_cast<long long>(std::floor(percent)));
    return QString::number(whole) + QLatin1Char('%');
}

ConversionRun::ConversionRun(QObject* parent) : QObject(parent) {}

void ConversionRun::Queue(engine::Encoder& encoder, const QList<FileRow>& rows,
                          const OutputSettings& settings, const QString& outputFolder,
                          const RunMessageFunction& message) {
    Plan(rows, settings, outputFolder);
    QueuePlanned(encoder, message);
}

void ConversionRun::Plan(const QList<FileRow>& rows, const OutputSettings& settings,
                         const QString& outputFolder) {
    rows_.clear();
    rowOfTask_.clear();
    queuedTasks_ = 0;
    stopRequested_ = false;
    state_ = State::None;

    // Every output path is planned before anything is queued, so no task of this run can
    // overwrite an input, another task's output or a file that was there before.
    OptionBuilder builder(settings);
    OutputPlanner planner;
    for (const FileRow& row : rows) {
        const EncoderJob job = builder.BuildEncoderOptions(row);
        RunRow runRow;
        runRow.InputPath = row.FileName;
        runRow.OutputPath = planner.Plan(
            row.FileName, OutputPathFor(outputFolder, row.FileName, job.OutputExtension));
        runRow.Options = job.EncoderOptions;
        rows_.append(runRow);
    }
}

void ConversionRun::QueuePlanned(engine::Encoder& encoder, const RunMessageFunction& message) {
    state_ = State::Queued;
    encoder.ClearTasks();
    for (qsizetype i = 0; i < rows_.size(); ++i) {
        RunRow& runRow = rows_[i];
        const int input = encoder.OpenInput(runRow.InputPath.toStdString(), std::string());
        if (input < 0) {
            const QString error = QString::fromStdString(encoder.LastError());
            runRow.Status = kStatusErrorPrefix + error;
            if (message) {
                message(CannotOpenMessage(runRow.InputPath, error));
            }
            continue;
        }
        const int added =
            encoder.AddOutput(input, runRow.OutputPath.toStdString(), runRow.Options.toStdString());
        if (added < 0) {
            encoder.CloseInput(input);
            const QString error = QString::fromStdString(encoder.LastError());
            runRow.Status = kStatusErrorPrefix + error;
            if (message) {
                message(CannotConvertMessage(runRow.OutputPath, error));
            }
            continue;
        }
        // The encoder numbers its tasks from 0 in queue order; a file that was not queued
        // takes no number, so the mapping keeps every later row on its own file.
        runRow.Task = queuedTasks_++;
        rowOfTask_.append(static_cast<int>(i));
    }
}

void ConversionRun::MarkStarted() {
    if (state_ == State::Queued) {
        state_ = State::Running;
    }
}

int ConversionRun::RowOfTask(int task) const {
    if (task < 0 || task >= rowOfTask_.size()) {
        return -1;
    }
    return rowOfTask_[task];
}

void ConversionRun::RequestStop() {
    stopRequested_ = true;
    if (state_ == State::Running || state_ == State::Queued) {
        state_ = State::Stopped;
    }
}

void ConversionRun::OnTaskProgress(int task, std::int64_t positionUs, std::int64_t durationUs) {
    const int row = RowOfTask(task);
    if (row < 0) {
        return;
    }
    RunRow& runRow = rows_[row];
    if (stopRequested_) {
        runRow.Status = kStatusCanceled;
    } else {
        const QString progress = ProgressText(positionUs, durationUs);
        if (progress.isEmpty()) {
            return;
        }
        runRow.Progress = progress;
        runRow.Status = kStatusConverting;
    }
    emit rowChanged(row);
}

void ConversionRun::OnTaskFinished(int task, engine::TaskOutcome outcome,
                                   const QString& errorText) {
    if (task < 0) {
        if (state_ != State::Finished) {
            state_ = State::Finished;
            emit finished();
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
            runRow.Progress = kProgressDone;
            runRow.Status = kStatusOk;
            break;
        case engine::TaskOutcome::Stopped:
            runRow.Status = kStatusCanceled;
            break;
        case engine::TaskOutcome::Failed:
            // Once the user stopped, a task that fails on its way out reads as canceled rather
            // than as an error of its file.
            runRow.Status = stopRequested_ ? kStatusCanceled : kStatusErrorPrefix + errorText;
            break;
        case engine::TaskOutcome::None:
            return;
    }
    emit rowChanged(row);
}

}  // namespace ostrel

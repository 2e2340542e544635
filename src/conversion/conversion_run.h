// One conversion run without its windows: queuing one encoder task per listed file, the
// mapping from task numbers to rows, and the progress and status texts of every row. The
// progress window shows a ConversionRun; tests and the headless converter drive it directly.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "filelist/file_row.h"
#include "profiles/output_settings.h"

namespace ostrel {
namespace engine {
class Encoder;
enum class TaskOutcome : int;
}  // namespace engine

// What a message box of the run says. Icon is always the error icon.
struct RunMessage {
    QString Caption;
    QString Text;
};
using RunMessageFunction = std::function<void(const RunMessage&)>;

// The caption of the application's own messages.
inline const QString kApplicationTitle = QStringLiteral("Ostrel Media Converter");

// "Can not open file: " with the input path and the engine's reason.
RunMessage CannotOpenMessage(const QString& inputPath, const QString& errorText);
// "Cannot convert." with the output path, the engine's reason and the advice.
RunMessage CannotConvertMessage(const QString& outputPath, const QString& errorText);

// The progress text of a task: the whole per cent, rounded down ("45%"); empty when the
// duration is unknown (0 or less).
QString ProgressText(std::int64_t positionUs, std::int64_t durationUs);

inline const QString kStatusConverting = QStringLiteral("Converting...");
inline const QString kStatusOk = QStringLiteral("OK");
inline const QString kStatusCanceled = QStringLiteral("Canceled");
inline const QString kProgressDone = QStringLiteral("100%");
inline const QString kStatusErrorPrefix = QStringLiteral("Error: ");

// One row of the run: one listed file.
struct RunRow {
    QString InputPath;
    QString OutputPath;  // the planned path the task writes
    QString Options;     // the encoder option string built for the file
    QString Progress;    // "45%", "100%" or empty
    QString Status;      // "Converting...", "OK", "Error: ...", "Canceled" or empty
    int Task = -1;       // the encoder's task number; -1 when the file was not queued
};

class ConversionRun : public QObject {
    Q_OBJECT

  public:
    enum class State : int { None = 0, Queued, Running, Stopped, Finished };

    explicit ConversionRun(QObject* parent = nullptr);

    // Plans the output path of every row (never an input, never twice, never an existing
    // file), clears the encoder's queue and queues one task per row in list order. A file
    // the encoder cannot open or refuses is reported through message, keeps its row and is
    // marked "Error: " with the reason. outputFolder is normalised and accepted already.
    void Queue(engine::Encoder& encoder, const QList<FileRow>& rows, const OutputSettings& settings,
               const QString& outputFolder, const RunMessageFunction& message);

    // The two halves of Queue: planning the rows' options and output paths without touching
    // the encoder (what a dry run shows), then queuing the planned rows.
    void Plan(const QList<FileRow>& rows, const OutputSettings& settings,
              const QString& outputFolder);
    void QueuePlanned(engine::Encoder& encoder, const RunMessageFunction& message);

    // The run has started on the encoder: the rows take events from now on.
    void MarkStarted();

    const QList<RunRow>& Rows() const { return rows_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // The row of an encoder task, -1 when no row has it.
    int RowOfTask(int task) const;
    int QueuedTaskCount() const { return queuedTasks_; }
    State CurrentState() const { return state_; }
    bool StopRequested() const { return stopRequested_; }

    // The user stopped the run: later progress events mark their rows "Canceled".
    void RequestStop();

    // Encoder events, on the UI thread.
    void OnTaskProgress(int task, std::int64_t positionUs, std::int64_t durationUs);
    void OnTaskFinished(int task, engine::TaskOutcome outcome, const QString& errorText);

  signals:
    void rowChanged(int row);
    // The encoder reported the end of the whole queue. Emitted once per run.
    void finished();

  private:
    QList<RunRow> rows_;
    QList<int> rowOfTask_;
    int queuedTasks_ = 0;
    State state_ = State::None;
    bool stopRequested_ = false;
};

}  // namespace ostrel

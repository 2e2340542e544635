// One conversion run without its windows: planning the output of every listed file, queuing
// one encoder task per file, starting and stopping the encoder, and following its events into
// a status per row. The progress window and the headless converter only observe a run; tests
// drive it through a scripted encoder.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

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

// "Cannot convert." with the output path, the engine's reason and the advice.
RunMessage CannotConvertMessage(const QString& outputPath, const QString& errorText);

// The whole per cent of a task, rounded down and never above 100; none when the duration is
// unknown (0 or less).
std::optional<int> ProgressPercent(std::int64_t positionUs, std::int64_t durationUs);
// "45%", or empty for none.
QString PercentText(std::optional<int> percent);

enum class RunRowStatus : int {
    None = 0,
    Converting,  // progress has been reported
    Succeeded,
    Failed,  // ErrorText says why
    Canceled,
};

// One row of the run: one listed file.
struct RunRow {
    QString InputPath;
    // The planned path the task writes; once it succeeded, the path it wrote (another " (n)"
    // name when a file took the planned one during the run).
    QString OutputPath;
    QString Options;  // the encoder option string built for the file
    // The subfolder of the output folder the output goes to ("a/b/"), created when the row is
    // queued; empty for the output folder itself.
    QString Subfolder;
    int Task = -1;  // the encoder's task number; -1 when the file was not queued
    RunRowStatus Status = RunRowStatus::None;
    std::optional<int> Percent;  // the progress shown; none before the first that is known
    QString ErrorText;
    std::int64_t PositionUs = 0;  // as the last progress event gave them
    std::int64_t DurationUs = 0;
    // engine::kCopiedVideoStream | kCopiedAudioStream: what went into the output as it was.
    int CopiedStreams = 0;
};

// What the progress window shows of a row: "45%", "100%" or empty; "Converting...", "OK" ("OK
// (video copied)", "OK (audio copied)", "OK (video and audio copied)" for copied streams),
// "Error: " with the reason, "Canceled" or empty.
QString ProgressText(const RunRow& row);
QString StatusText(const RunRow& row);
// "OK", or "OK (video copied)" and the like for the streams copied.
QString CopiedStatusText(int copiedStreams);

// Why a run is paused.
enum class RunPause : int { None = 0, User, DiskFull };

// The free and whole size of the disk that holds a folder; negative when unknown.
struct DiskSpace {
    qint64 FreeBytes = -1;
    qint64 TotalBytes = -1;
};
using DiskSpaceFunction = std::function<DiskSpace(const QString& folder)>;
DiskSpace QueryDiskSpace(const QString& folder);

// What a run keeps free on the output disk: the larger of 1 GiB and 2 % of the disk.
qint64 DiskMarginBytes(qint64 totalBytes);
// "Paused: the output disk is almost full (1.2 GB free)"
QString DiskFullText(qint64 freeBytes);

class ConversionRun : public QObject {
    Q_OBJECT

  public:
    enum class State : int { None = 0, Queued, Running, Stopped, Finished };
    // How often a running run compares the output disk's free space with what it will write.
    static constexpr int kDiskCheckIntervalMs = 3000;

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
    // Appends options to every planned row's option string (the command line's
    // "-map_metadata -1"), before QueuePlanned.
    void AppendPlannedOptions(const QString& options);

    // Makes the run the receiver of the encoder's events (the host has given the encoder its
    // poster) and starts converting on threads workers. When nothing starts (no task was
    // queued, or the encoder refused) the run is Finished at once and no queueEnded() follows;
    // the answer is then false and the encoder's LastError says why. The encoder must outlive
    // the run's calls of Stop and Abandon.
    bool Start(engine::Encoder& encoder, int threads);
    // The user stops the run: the encoder is asked to stop, and later progress events mark
    // their rows "Canceled".
    void Stop();
    // The run's window closes: the encoder is asked to stop, and no later event reaches the run.
    void Abandon();

    const QList<RunRow>& Rows() const { return rows_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // The row of an encoder task, -1 when no row has it.
    int RowOfTask(int task) const;
    int QueuedTaskCount() const { return queuedTasks_; }
    State CurrentState() const { return state_; }
    bool StopRequested() const { return stopRequested_; }
    int SucceededCount() const;
    const QString& OutputFolder() const { return outputFolder_; }

    // Pauses a running run (its tasks wait and use no processor time) or resumes it.
    void Pause();
    void Resume();
    RunPause Paused() const { return pause_; }
    // The free space seen when the run paused itself for the disk.
    qint64 PausedFreeBytes() const { return pausedFreeBytes_; }
    // Compares the output disk's free space with what the run will still write, and pauses the
    // run when less than the margin would be left. Runs before the first task and then on a
    // timer; public so the check can be made at once.
    void CheckDiskSpace();
    // What the run will still write, estimated from the option string's bit rates (or else
    // the input's own) and the duration left, for the files converting and the next to start.
    qint64 BytesStillToWrite() const;
    void SetDiskSpaceFunction(DiskSpaceFunction function) { diskSpace_ = std::move(function); }
    bool KeepsFileDate() const { return keepFileDate_; }

    // A run taken up again from its journal: the rows as planned then (those already done
    // left out), queued by QueuePlanned.
    void SetPlannedRows(const QList<RunRow>& rows, const QString& outputFolder, bool keepFileDate);
    // Leaves only the rows for which keep answers true (a share of the list, or the rows a
    // journal has not seen done), before QueuePlanned.
    void KeepPlannedRows(const std::function<bool(const RunRow&)>& keep);

  signals:
    void rowChanged(int row);
    // The encoder reported the end of that row's task (after its rowChanged).
    void taskEnded(int row);
    void stateChanged();
    // The encoder reported the end of the whole queue, once per run (after the change to
    // Finished).
    void queueEnded();

  private:
    void SetState(State state);
    void OnTaskProgress(int task, std::int64_t positionUs, std::int64_t durationUs);
    void OnTaskFinished(int task, engine::TaskOutcome outcome, const QString& errorText);
    void OnStreamsCopied(int task, int copiedStreams);
    void OnOutputWritten(int task, const QString& outputPath);

    QList<RunRow> rows_;
    QList<int> rowOfTask_;
    int queuedTasks_ = 0;
    State state_ = State::None;
    bool stopRequested_ = false;
    engine::Encoder* encoder_ = nullptr;
    // Every plan, start and abandon begins a new generation; events of an earlier one are
    // dropped.
    int generation_ = 0;
    QString outputFolder_;
    bool keepFileDate_ = false;
    RunPause pause_ = RunPause::None;
    qint64 pausedFreeBytes_ = -1;
    DiskSpaceFunction diskSpace_ = QueryDiskSpace;
    QTimer* diskTimer_ = nullptr;
};

}  // namespace ostrel

// The run as a whole, derived from its rows: how it ended (the progress window's caption, the
// notice's message, whether the completion sound plays) and how far it has come (files ended,
// elapsed and remaining time). Pure functions of the rows, so they are tested without windows.
#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

#include "conversion/conversion_run.h"

namespace ostrel {

struct RunCounts {
    int Total = 0;      // every row of the run, queued or not
    int Succeeded = 0;  // "OK"
    int Failed = 0;     // "Error: ..."
    int Canceled = 0;   // "Canceled"
};
RunCounts CountRows(const QList<RunRow>& rows);

// What the windows say once the encoder reported the end of the queue (or nothing started).
struct RunEndTexts {
    QString Caption;  // the progress window's caption
    QString Notice;   // the completion notice's message
    bool PlaysSound = false;
};

// Every file converted: "Convert Finished!" and the usual notice. A run the user stopped (or
// whose tasks were canceled) says "Convert Stopped!" with how many files were converted; a run
// with failures says "Convert Finished with errors!" with both counts. The sound is for a run
// that ended by itself.
RunEndTexts EndOfRunTexts(const RunCounts& counts, bool stopRequested);

// "1 file", "5 files".
QString FilesText(int count);

struct RunProgressFigures {
    int Ended = 0;      // rows that are done, whatever their outcome
    int Converted = 0;  // of which converted
    int Total = 0;
    bool Running = false;
    int Percent = 0;  // of the whole run's work, 0..100
    std::int64_t ElapsedMs = 0;
    std::optional<std::int64_t> RemainingMs;  // none until the speed is known, or when not running
    RunPause Pause = RunPause::None;          // set by the window from the run
    qint64 FreeBytes = -1;                    // the free space when paused for the disk
};

// Below this much converting time the measured speed is too unsteady to promise a time.
inline constexpr std::int64_t kRemainingAfterMs = 3000;

// The run's figures after elapsedMs of converting. sourceSeconds holds the duration of every
// row's source as the list probed it (0 when unknown); a duration the encoder reported wins.
// The work of a file is its duration; a file of unknown duration counts as the mean of the
// known ones. The remaining time is the work left at the speed measured so far, so parallel
// workers and slow profiles are taken into account as they happen.
RunProgressFigures MeasureRunProgress(const QList<RunRow>& rows, const QList<double>& sourceSeconds,
                                      std::int64_t elapsedMs, bool running);

// While running, "12 of 50 files done  ·  Elapsed 00:01:23  ·  Remaining about 00:04:10" (the
// last part only while the remaining time is known); once the run is over, how many files were
// converted: "5 of 50 files converted  ·  Elapsed 00:00:06". A paused run says "Paused" (or why
// it paused itself) instead of the remaining time.
QString RunProgressText(const RunProgressFigures& figures);

}  // namespace ostrel

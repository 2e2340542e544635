#include "conversion/run_overview.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

#include "common/duration.h"

namespace ostrel {
namespace {

bool IsEnded(RunRowStatus status) {
    return status == RunRowStatus::Succeeded || status == RunRowStatus::Failed ||
           status == RunRowStatus::Canceled;
}

// The length of a row's source in seconds; 0 when neither the encoder nor the list knows it.
double KnownLength(const RunRow& row, double listed) {
    if (row.DurationUs > 0) {
        return static_cast<double>(row.DurationUs) / 1e6;
    }
    return std::isfinite(listed) && listed > 0 ? listed : 0.0;
}

}  // namespace

RunCounts CountRows(const QList<RunRow>& rows) {
    RunCounts counts;
    counts.Total = static_cast<int>(rows.size());
    for (const RunRow& row : rows) {
        counts.Succeeded += row.Status == RunRowStatus::Succeeded ? 1 : 0;
        counts.Failed += row.Status == RunRowStatus::Failed ? 1 : 0;
        counts.Canceled += row.Status == RunRowStatus::Canceled ? 1 : 0;
    }
    return counts;
}

QString FilesText(int count) {
    return count == 1 ? QCoreApplication::translate("ostrel::RunOverview", "%1 file").arg(count)
                      : QCoreApplication::translate("ostrel::RunOverview", "%1 files").arg(count);
}

RunEndTexts EndOfRunTexts(const RunCounts& counts, bool stopRequested) {
    // Whole sentences with their figures as arguments, so that a translation can order them.
    if (counts.Succeeded == counts.Total) {
        return {
            QCoreApplication::translate("ostrel::RunOverview", "Convert Finished!"),
            QCoreApplication::translate("ostrel::RunOverview",
                                        "Convert Finished. Click here to open the output folder"),
            !stopRequested};
    }
    if (stopRequested || counts.Canceled > 0) {
        return {QCoreApplication::translate("ostrel::RunOverview", "Convert Stopped!"),
                QCoreApplication::translate(
                    "ostrel::RunOverview",
                    "Stopped: %1 of %2 converted. Click here to open the output folder")
                    .arg(counts.Succeeded)
                    .arg(FilesText(counts.Total)),
                false};
    }
    // Rows the encoder never reported on are not converted either: the counts add up.
    const int notConverted = counts.Total - counts.Succeeded;
    return {QCoreApplication::translate("ostrel::RunOverview", "Convert Finished with errors!"),
            QCoreApplication::translate(
                "ostrel::RunOverview",
                "%1 of %2 converted, %3 failed. Click here to open the output folder")
                .arg(counts.Succeeded)
                .arg(FilesText(counts.Total))
                .arg(notConverted),
            true};
}

RunProgressFigures MeasureRunProgress(const QList<RunRow>& rows, const QList<double>& sourceSeconds,
                                      std::int64_t elapsedMs, bool running) {
    RunProgressFigures figures;
    figures.Total = static_cast<int>(rows.size());
    figures.ElapsedMs = std::max<std::int64_t>(0, elapsedMs);
    figures.Running = running;

    // The mean known length stands in for files whose length nobody knows; with no length
    // known at all every file weighs the same.
    double knownSum = 0;
    int knownCount = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const double length = KnownLength(rows[i], sourceSeconds.value(i));
        if (length > 0) {
            knownSum += length;
            ++knownCount;
        }
    }
    const double standIn = knownCount > 0 ? knownSum / knownCount : 1.0;

    double work = 0;  // seconds of media the run converts
    double done = 0;  // of which converted so far
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const RunRow& row = rows[i];
        figures.Ended += IsEnded(row.Status) ? 1 : 0;
        figures.Converted += row.Status == RunRowStatus::Succeeded ? 1 : 0;
        if (row.Task < 0) {
            continue;  // never queued: no work, no time
        }
        const double known = KnownLength(row, sourceSeconds.value(i));
        const double length = known > 0 ? known : standIn;
        const double position =
            known > 0 ? std::clamp(static_cast<double>(row.PositionUs) / 1e6, 0.0, length) : 0.0;
        switch (row.Status) {
            case RunRowStatus::Succeeded:
                work += length;
                done += length;
                break;
            case RunRowStatus::Failed:
                // Ended early: what it converted took time, the rest is no longer work.
                work += position;
                done += position;
                break;
            case RunRowStatus::Canceled:
                // Only a stop cancels, and a stopped run shows how much of it was left undone.
            case RunRowStatus::Converting:
            case RunRowStatus::None:
                work += length;
                done += position;
                break;
        }
    }
    if (work > 0) {
        figures.Percent = std::clamp(static_cast<int>(std::floor(done * 100.0 / work)), 0, 100);
    } else if (figures.Total > 0 && figures.Ended == figures.Total) {
        figures.Percent = 100;
    }
    if (running && figures.ElapsedMs >= kRemainingAfterMs && done > 0 && work > done) {
        const double remaining = (work - done) * static_cast<double>(figures.ElapsedMs) / done;
        figures.RemainingMs = static_cast<std::int64_t>(std::llround(remaining));
    } else if (running && work > 0 && done >= work) {
        figures.RemainingMs = 0;
    }
    return figures;
}

QString RunProgressText(const RunProgressFigures& figures) {
    // Whole seconds: the elapsed time rounded down, the remaining time up, so the clock never
    // shows a second that has not passed nor promises one too few.
    const QString separator = QStringLiteral("  \u00b7  ");
    QString text = figures.Running
                       ? QCoreApplication::translate("ostrel::RunOverview", "%1 of %2 done")
                             .arg(figures.Ended)
                             .arg(FilesText(figures.Total))
                       : QCoreApplication::translate("ostrel::RunOverview", "%1 of %2 converted")
                             .arg(figures.Converted)
                             .arg(FilesText(figures.Total));
    text += separator + QCoreApplication::translate("ostrel::RunOverview", "Elapsed %1")
                            .arg(FormatDuration(static_cast<double>(figures.ElapsedMs / 1000)));
    if (figures.Running && figures.Pause == RunPause::User) {
        text += separator + QCoreApplication::translate("ostrel::RunOverview", "Paused");
    } else if (figures.Running && figures.Pause == RunPause::DiskFull) {
        text += separator + DiskFullText(figures.FreeBytes);
    } else if (figures.RemainingMs) {
        text += separator +
                QCoreApplication::translate("ostrel::RunOverview", "Remaining about %1")
                    .arg(FormatDuration(static_cast<double>((*figures.RemainingMs + 999) / 1000)));
    }
    return text;
}

}  // namespace ostrel

// What to do once a run is done: nothing, quit the program, suspend or shut down the machine.
// It happens only after a run that ended by itself with every file converted: never after a
// stop, a failure or a file that could not be queued.
#pragma once

#include <QString>
#include <QStringList>

#include "conversion/run_overview.h"

namespace ostrel {

enum class WhenDone : int { Nothing = 0, Quit, Suspend, ShutDown };

inline constexpr char kWhenDoneLabelSource[] =
    QT_TRANSLATE_NOOP("ostrel::FormConverting", "When done:");
inline const QString kWhenDoneLabel = QString::fromLatin1(kWhenDoneLabelSource);
// "Do nothing", "Quit", "Suspend", "Shut down": positions are the enum's values.
const QStringList& WhenDoneChoices();
// The stored choice ("WhenDone" in the settings store); Nothing for anything unknown.
WhenDone WhenDoneFromText(const QString& text);

// The action to take now, given the choice and how the run ended.
WhenDone ActionAfterRun(WhenDone chosen, const RunCounts& counts, bool stopRequested);

}  // namespace ostrel

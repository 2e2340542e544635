#include "conversion/when_done.h"

namespace ostrel {

const QStringList& WhenDoneChoices() {
    static const QStringList choices = {QStringLiteral("Do nothing"), QStringLiteral("Quit"),
                                        QStringLiteral("Suspend"), QStringLiteral("Shut down")};
    return choices;
}

WhenDone WhenDoneFromText(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 && value < WhenDoneChoices().size() ? static_cast<WhenDone>(value)
                                                                : WhenDone::Nothing;
}

WhenDone ActionAfterRun(WhenDone chosen, const RunCounts& counts, bool stopRequested) {
    const bool allConverted = !stopRequested && counts.Total > 0 &&
                              counts.Succeeded == counts.Total && counts.Failed == 0 &&
                              counts.Canceled == 0;
    return allConverted ? chosen : WhenDone::Nothing;
}

}  // namespace ostrel

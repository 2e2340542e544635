#include "conversion/when_done.h"

namespace ostrel {

const QStringList& WhenDoneChoices() {
    // The English texts; the window shows them through its translation.
    static const QStringList choices = {
        QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FormConverting", "Do nothing")),
        QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FormConverting", "Quit")),
        QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FormConverting", "Suspend")),
        QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FormConverting", "Shut down"))};
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

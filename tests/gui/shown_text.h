// Captions as the user reads them: the access-key markers taken out ("&Close" reads "Close",
// "&&" reads "&").
#pragma once

#include <QString>

namespace ostrel::testing {

inline QString Shown(const QString& caption) {
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size()) {
            ++i;
        }
        shown.append(caption.at(i));
    }
    return shown;
}

}  // namespace ostrel::testing

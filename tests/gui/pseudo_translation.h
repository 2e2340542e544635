// A translator that lengthens every text by 40 % in brackets ("Add" reads "[Add~]"), and a
// check that collects every shown text that is untranslated or wider than its room.
#pragma once

#include <QDir>
#include <QFontMetrics>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "shown_text.h"

namespace ostrel::testing {

class Lengthening : public QTranslator {
  public:
    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* source, const char*, int) const override {
        const QString text = QString::fromUtf8(source);
        const auto extra = static_cast<int>(std::ceil(text.size() * 0.4));
        return text.isEmpty() ? text : u'[' + text + QString(std::max(0, extra - 2), u'~') + u']';
    }
};

struct PseudoFaults {
    QStringList faults;
    void Check(const QString& shown, int room, const QFontMetrics& metrics) {
        const QString text = Shown(shown);
        if (!text.startsWith(u'[')) {
            faults << "untranslated: " + text;
        } else if (metrics.horizontalAdvance(text) > room) {
            faults << QStringLiteral("cut off: %1 (%2 of %3 px)")
                          .arg(text)
                          .arg(metrics.horizontalAdvance(text))
                          .arg(room);
        }
    }
};

// Saves what the window shows as OSTREL_SHOT_DIR/NAME@Nx.png when that variable is set, for
// looking at a layout; nothing otherwise.
inline void KeepShot(QWidget& window, const QString& name) {
    const QString folder = qEnvironmentVariable("OSTREL_SHOT_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        window.grab().save(QDir(folder).filePath(
            QStringLiteral("%1@%2x.png").arg(name).arg(window.devicePixelRatioF())));
    }
}

}  // namespace ostrel::testing

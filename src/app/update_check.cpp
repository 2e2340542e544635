#include "app/update_check.h"

#include <QLocale>

namespace ostrel {

QDate ParseLastCheck(const QString& text) {
    const QString stored = text.isEmpty() ? kDefaultLastCheck : text.trimmed();
    QDate date = QDate::fromString(stored, QStringLiteral("yyyy-M-d"));
    if (!date.isValid()) {
        // A date written by hand in the user's short form still counts.
        date = QLocale().toDate(stored, QLocale::ShortFormat);
    }
    return date;
}

QString LastCheckText(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-M-d"));
}

bool UpdatePromptDue(const QString& lastCheck, const QDate& today) {
    const QDate last = ParseLastCheck(lastCheck);
    if (!last.isValid()) {
        return true;
    }
    const qint64 days = last.daysTo(today);
    return days > kUpdatePromptDays || days < 0;
}

}  // namespace ostrel

// When to offer a look for a newer version: at most every 15 days, by the date stored in the
// setting LastCheckUpdate.
#pragma once

#include <QDate>
#include <QString>

namespace ostrel {

inline constexpr int kUpdatePromptDays = 15;
inline const QString kDefaultLastCheck = QStringLiteral("2005-1-1");
inline constexpr char kUpdatePromptSource[] = QT_TRANSLATE_NOOP(
    "ostrel::MainWindow",
    "Do you want to visit our website to check if there is a new version released?");
inline const QString kUpdatePromptText = QString::fromLatin1(kUpdatePromptSource);

// The stored date text ("2026-12-8"); empty text reads as 1 January 2005. An invalid date
// when the text cannot be read.
QDate ParseLastCheck(const QString& text);
QString LastCheckText(const QDate& date);

// True when more than 15 calendar days have passed since lastCheck, when lastCheck lies in
// the future, or when it cannot be read.
bool UpdatePromptDue(const QString& lastCheck, const QDate& today);

}  // namespace ostrel

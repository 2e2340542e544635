// The per-user settings store: a few named text values kept between runs
// (~/.config/Ostrel Software/Ostrel Media Converter.conf on Linux).
#pragma once

#include <QString>

namespace ostrel {

inline const QString kSettingOutPath = QStringLiteral("OutPath");
inline const QString kSettingLastCheckUpdate = QStringLiteral("LastCheckUpdate");
inline const QString kSettingWhenDone = QStringLiteral("WhenDone");
// The niceness of a conversion's threads (0..19), shared by the window and ostrel-convert.
inline const QString kSettingConversionNice = QStringLiteral("ConversionNice");
inline constexpr int kDefaultConversionNice = 10;

// The stored text, or the empty text when the value is missing, of another type or the
// store cannot be read. A stored whole number reads as its decimal text; a trailing NUL is
// dropped and a value that starts with NUL reads as empty.
QString ReadSetting(const QString& name);

// Stores the text; failures are silent and leave the previous value in place.
void WriteSetting(const QString& name, const QString& value);

// The stored conversion niceness; kDefaultConversionNice when it is missing or not a whole
// number, clamped to 0..19.
int ReadConversionNice();

}  // namespace ostrel

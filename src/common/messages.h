// Texts the program shows in more than one place: its title and the message for a file that
// cannot be opened.
#pragma once

#include <QString>

namespace ostrel {

// The caption of the main window and of the program's own messages.
inline const QString kApplicationTitle = QStringLiteral("Ostrel Media Converter");

// Why a named pipe, a device or a folder is not listed or converted.
inline const QString kNotRegularFileText = QStringLiteral("Not a regular file");

// "Can not open file: ", the path and the engine's reason on lines of their own.
QString CanNotOpenText(const QString& path, const QString& errorText);

}  // namespace ostrel

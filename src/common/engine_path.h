// Paths as they cross to the engine or the operating system. Both take the bytes of a file
// name; QFile's codec turns a QString into the very bytes Qt's own file access uses, and back,
// so the engine opens the file the list shows, whatever the platform's file-name encoding.
#pragma once

#include <QString>
#include <string>

namespace ostrel {

std::string ToEnginePath(const QString& path);
QString FromEnginePath(const std::string& path);

}  // namespace ostrel

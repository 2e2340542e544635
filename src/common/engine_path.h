// Paths as they cross to the engine or the operating system. The engine takes the bytes of a
// file name; QFile's codec turns a QString into exactly those bytes and back, so a name that
// is not valid UTF-8 still reaches the same file.
#pragma once

#include <QString>
#include <string>

namespace ostrel {

std::string ToEnginePath(const QString& path);
QString FromEnginePath(const std::string& path);

}  // namespace ostrel

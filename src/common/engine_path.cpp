#include "common/engine_path.h"

#include <QFile>

namespace ostrel {

std::string ToEnginePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString FromEnginePath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace ostrel

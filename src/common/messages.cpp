#include "common/messages.h"

namespace ostrel {

QString CanNotOpenText(const QString& path, const QString& errorText) {
    return QStringLiteral("Can not open file: \n") + path + QStringLiteral("\n\nError: \n") +
           errorText;
}

}  // namespace ostrel

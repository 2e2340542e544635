#include "common/messages.h"

#include <QCoreApplication>

namespace ostrel {

QString CanNotOpenText(const QString& path, const QString& errorText) {
    // The engine's reason stays English; the sentence around it is translated.
    return QCoreApplication::translate("ostrel::Messages", "Can not open file: \n%1\n\nError: \n%2")
        .arg(path, errorText);
}

}  // namespace ostrel

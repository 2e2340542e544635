#include "app/ui_poster.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace ostrel {

engine::EventPoster UiThreadPoster() {
    return [](std::function<void()> event) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(event),
                                  Qt::QueuedConnection);
    };
}

}  // namespace ostrel

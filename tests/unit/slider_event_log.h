// Records the ten slider events of a SliderModel or an NaSlider, one line each with the value
// at that moment, e.g. "MouseUp 1 0 1104,90 v=200", "KeyDown 34 0 v=10", "Paint".
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

template <typename Source>
class SliderEventLog {
  public:
    explicit SliderEventLog(Source& source) : source_(source) {
        Plain(&Source::Resize, "Resize");
        Plain(&Source::Click, "Click");
        Plain(&Source::DblClick, "DblClick");
        QObject::connect(&source, &Source::Paint, &context_,
                         [this] { events << QStringLiteral("Paint"); });
        Key(&Source::KeyDown, "KeyDown");
        Key(&Source::KeyUp, "KeyUp");
        QObject::connect(&source, &Source::KeyPress, &context_,
                         [this](int ascii) { events << QStringLiteral("KeyPress %1").arg(ascii); });
        Pointer(&Source::MouseDown, "MouseDown");
        Pointer(&Source::MouseMove, "MouseMove");
        Pointer(&Source::MouseUp, "MouseUp");
    }

    // The lines so far; the log starts again empty.
    QStringList Take() {
        QStringList taken;
        taken.swap(events);
        return taken;
    }

    QStringList events;

  private:
    QString WithValue(const QString& line) const {
        return QStringLiteral("%1 v=%2").arg(line).arg(source_.Value());
    }
    void Plain(void (Source::*signal)(), const char* name) {
        QObject::connect(&source_, signal, &context_,
                         [this, name] { events << WithValue(QString::fromLatin1(name)); });
    }
    void Key(void (Source::*signal)(int, int), const char* name) {
        QObject::connect(&source_, signal, &context_, [this, name](int code, int shift) {
            events << WithValue(
                QStringLiteral("%1 %2 %3").arg(QLatin1String(name)).arg(code).arg(shift));
        });
    }
    void Pointer(void (Source::*signal)(int, int, float, float), const char* name) {
        QObject::connect(&source_, signal, &context_,
                         [this, name](int button, int shift, float x, float y) {
                             events << WithValue(QStringLiteral("%1 %2 %3 %4,%5")
                                                     .arg(QLatin1String(name))
                                                     .arg(button)
                                                     .arg(shift)
                                                     .arg(x)
                                                     .arg(y));
                         });
    }

    Source& source_;
    QObject context_;
};

#pragma once

#include <QEvent>
#include <QObject>

#include <stdexcept>

// An object whose handler lets an exception escape on kThrowEvent, as a faulty slot would.
inline const QEvent::Type kThrowEvent = QEvent::Type(QEvent::User + 1);

class ThrowingObject : public QObject {
public:
    bool event(QEvent *event) override {
        if (event->type() == kThrowEvent)
            throw std::runtime_error("boom");
        return QObject::event(event);
    }
};

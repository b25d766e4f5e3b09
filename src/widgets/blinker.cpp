#include "blinker.h"

#include "win_color.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kTickMs = 60;
constexpr int kTicks = 6;
constexpr quint32 kBlinkColor = 255;

// Edit fields paint their background from Base; any other widget fills it from Window.
QPalette::ColorRole BackgroundRole(const QWidget *field) {
    if (qobject_cast<const QLineEdit *>(field) || qobject_cast<const QComboBox *>(field) ||
        qobject_cast<const QAbstractSpinBox *>(field) ||
        qobject_cast<const QAbstractScrollArea *>(field))
        return QPalette::Base;
    return QPalette::Window;
}

class TBlinkTimerObj {
public:
    TBlinkTimerObj() {
        Timer.setInterval(kTickMs);
        QObject::connect(&Timer, &QTimer::timeout, [this] { Tick(); });
    }

    void Start(QWidget *field) {
        if (field == m_target)
            return;
        RestoreTarget();
        m_target = field;
        m_role = BackgroundRole(field);
        m_savedPalette = field->palette();
        m_savedAutoFill = field->autoFillBackground();
        m_ticks = kTicks;
        if (m_role == QPalette::Window)
            field->setAutoFillBackground(true);
        Timer.start();
    }

    QWidget *Target() const { return m_target; }

    QTimer Timer;

private:
    void Tick() {
        if (!m_target) {
            Timer.stop();
            return;
        }
        const QColor saved = m_savedPalette.color(m_role);
        if (m_target->palette().color(m_role) == saved) {
            QPalette red = m_savedPalette;
            red.setColor(m_role, WinColor(kBlinkColor));
            m_target->setPalette(red);
        } else {
            m_target->setPalette(m_savedPalette);
        }
        if (--m_ticks <= 0) {
            RestoreTarget();
            Timer.stop();
        }
    }

    void RestoreTarget() {
        if (m_target) {
            m_target->setPalette(m_savedPalette);
            m_target->setAutoFillBackground(m_savedAutoFill);
        }
        m_target = nullptr;
    }

    QPointer<QWidget> m_target;
    QPalette::ColorRole m_role = QPalette::Base;
    QPalette m_savedPalette;
    bool m_savedAutoFill = false;
    int m_ticks = 0;
};

// Created on first use and kept until the process ends.
TBlinkTimerObj &BlinkObj() {
    static auto *obj = new TBlinkTimerObj;
    return *obj;
}

} // namespace

void BlinkEdit(QWidget *field) {
    if (field)
        BlinkObj().Start(field);
}

QWidget *BlinkTarget() {
    return BlinkObj().Target();
}

#include "output_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

TzOutputButton::TzOutputButton(int output, bool pictureBelow, QWidget *parent)
    : QAbstractButton(parent), m_output(output), m_pictureBelow(pictureBelow) {
    setText(QString::number(output));
    setAccessibleName(QString::number(output));
    setFocusPolicy(Qt::StrongFocus);
    Describe();
}

void TzOutputButton::SetPicture(TzOutputPicture picture) {
    const bool changed = picture != m_picture || !m_known;
    m_picture = picture;
    m_known = true;
    if (!changed)
        return;
    Describe();
    update();
}

void TzOutputButton::SetUnknown() {
    if (!m_known)
        return;
    m_known = false;
    Describe();
}

void TzOutputButton::Describe() {
    QString state = QStringLiteral("состояние неизвестно");
    if (m_known) {
        switch (m_picture) {
        case TzOutputPicture::Off:
            state = QStringLiteral("выключен");
            break;
        case TzOutputPicture::On:
            state = QStringLiteral("включён");
            break;
        case TzOutputPicture::Pwm:
            state = QStringLiteral("ШИМ");
            break;
        case TzOutputPicture::Pending:
            state = QStringLiteral("ожидает подтверждения модуля");
            break;
        }
    }
    setAccessibleDescription(state);
}

void TzOutputButton::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    if (isDown())
        option.state |= QStyle::State_Sunken;
    else
        option.state |= QStyle::State_Raised;
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QPixmap pixmap = OutputPixmap(m_picture);
    const int half = height() / 2;
    const QRect textRect =
        m_pictureBelow ? QRect(0, 4, width(), half - 4) : QRect(0, half, width(), half - 4);
    const QRect pictureArea =
        m_pictureBelow ? QRect(0, half - 6, width(), half) : QRect(0, 4, width(), half);
    const QRect pictureRect =
        QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, pixmap.size(), pictureArea);
    if (!isEnabled())
        painter.setOpacity(0.45);
    painter.drawPixmap(pictureRect, pixmap);
    painter.setOpacity(1);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignCenter, text());
}

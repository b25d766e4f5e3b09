#include "big_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

TzBigButton::TzBigButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent) {
    setAccessibleName(caption);
}

void TzBigButton::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect textRect = rect().adjusted(6, 4, -6, -4);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap, text());
}

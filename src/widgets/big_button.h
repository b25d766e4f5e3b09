#pragma once

#include <QPushButton>

// A push button whose caption wraps onto several lines when it does not fit.
class TzBigButton : public QPushButton {
    Q_OBJECT
public:
    TzBigButton(const QString &caption, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

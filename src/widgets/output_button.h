#pragma once

#include "pictures.h"

#include <QAbstractButton>

// An output's button: its number and a picture of the output's state, the picture below the
// number (first row) or above it (second row). Its accessible description tells the state in
// words: on, off, PWM, pending, or unknown until a picture from the module's state is set.
class TzOutputButton : public QAbstractButton {
    Q_OBJECT
public:
    TzOutputButton(int output, bool pictureBelow, QWidget *parent);

    int Output() const { return m_output; }
    TzOutputPicture Picture() const { return m_picture; }
    void SetPicture(TzOutputPicture picture);
    void SetUnknown(); // the picture stays; the state it shows is no longer the module's

    QSize sizeHint() const override { return {41, 74}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_output;
    bool m_pictureBelow;
    TzOutputPicture m_picture = TzOutputPicture::Off;
    bool m_known = false;
    void Describe();
};

#pragma once

#include <QLabel>

// The value half of a caption/value pair. Assistive technology reads it as the caption followed
// by the value shown ("Питание: 24.00 В"), so it hears what a sighted operator sees; the name is
// taken from the text whenever it is asked for, and Qt announces each change of the text.
class TzValueLabel : public QLabel {
    Q_OBJECT
public:
    TzValueLabel(const QString &caption, QWidget *parent);

    QString SpokenName() const;

private:
    QString m_caption;
};

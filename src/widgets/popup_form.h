#pragma once

#include <QString>

class QFrame;
class QLineEdit;
class QWidget;

// Building blocks of the panel's pop-up settings panels.

// A raised, hidden panel of the given size with its bold title at the top.
QFrame *MakePopupPanel(QWidget *frame, const QString &objectName, const QString &title, int width,
                       int height);
// The same look for a panel of a class of its own.
void InitPopupPanel(QFrame *panel, const QString &objectName, const QString &title, int width,
                    int height);

// A field that takes decimal digits only.
QLineEdit *MakeDigitsField(QWidget *panel, const QString &text);

// Puts a field in its row of the panel, with its caption to the left and its hint.
void PlaceField(QWidget *field, const QString &objectName, const QString &caption,
                const QString &hint, int y, int width, int captionWidth = 70);

// The field's decimal integer; one no range takes (the lowest int) when it holds none.
int FieldNumber(const QLineEdit *field);

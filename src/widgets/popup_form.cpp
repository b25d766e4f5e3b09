#include "popup_form.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <limits>

QFrame *MakePopupPanel(QWidget *frame, const QString &objectName, const QString &title, int width,
                       int height) {
    auto *panel = new QFrame(frame);
    InitPopupPanel(panel, objectName, title, width, height);
    return panel;
}

void InitPopupPanel(QFrame *panel, const QString &objectName, const QString &title, int width,
                    int height) {
    panel->setObjectName(objectName);
    panel->setAccessibleName(title);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    panel->resize(width, height);
    panel->hide();

    auto *header = new QLabel(title, panel);
    header->setGeometry(10, 6, width - 20, 22);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
}

QLineEdit *MakeDigitsField(QWidget *panel, const QString &text) {
    auto *field = new QLineEdit(text, panel);
    field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), field));
    return field;
}

void PlaceField(QWidget *field, const QString &objectName, const QString &caption,
                const QString &hint, int y, int width, int captionWidth) {
    (new QLabel(caption, field->parentWidget()))->setGeometry(10, y, captionWidth, 22);
    field->setObjectName(objectName);
    field->setAccessibleName(caption);
    field->setToolTip(hint);
    field->setGeometry(12 + captionWidth, y, width, 22);
}

int FieldNumber(const QLineEdit *field) {
    bool ok = false;
    const int value = field->text().toInt(&ok);
    return ok ? value : std::numeric_limits<int>::min();
}

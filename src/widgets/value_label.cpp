#include "value_label.h"

#include <QAccessibleWidget>

namespace {

class TzValueLabelAccessible : public QAccessibleWidget {
public:
    explicit TzValueLabelAccessible(TzValueLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return static_cast<const TzValueLabel *>(widget())->SpokenName();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *ValueLabelFactory(const QString &, QObject *object) {
    if (auto *label = qobject_cast<TzValueLabel *>(object))
        return new TzValueLabelAccessible(label);
    return nullptr;
}

} // namespace

TzValueLabel::TzValueLabel(const QString &caption, QWidget *parent)
    : QLabel(parent), m_caption(caption.trimmed()) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(ValueLabelFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}

QString TzValueLabel::SpokenName() const {
    const QString value = text().trimmed();
    return value.isEmpty() ? m_caption : m_caption + QLatin1Char(' ') + value;
}

#include "tool_tip_style.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>

namespace {

constexpr int kToolTipWakeUpMs = 200;

class TzToolTipStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay)
            return kToolTipWakeUpMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

QStyle *NewToolTipStyle(QStyle *base) {
    return base ? new TzToolTipStyle(base) : new TzToolTipStyle;
}

void SetBaseStyle(const QString &styleName) {
    if (QStyle *base = QStyleFactory::create(styleName))
        QApplication::setStyle(NewToolTipStyle(base));
}

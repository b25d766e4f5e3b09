#include "application.h"

#include <QEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QWidget>

#include <exception>

namespace {

constexpr int kToolTipWakeUpMs = 200;
constexpr int kToolTipDurationMs = 100000;

TzExceptionHandler &ExceptionHandler() {
    static TzExceptionHandler handler;
    return handler;
}

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

// A widget that keeps the default duration would lose its tip after about ten seconds.
class TzToolTipDurationFilter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->toolTipDuration() < 0)
                widget->setToolTipDuration(kToolTipDurationMs);
        }
        return false;
    }
};

} // namespace

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
    setStyle(new TzToolTipStyle);
    installEventFilter(new TzToolTipDurationFilter(this));
}

TApplication::~TApplication() = default;

void TApplication::SetBaseStyle(const QString &styleName) {
    if (QStyle *base = QStyleFactory::create(styleName))
        QApplication::setStyle(new TzToolTipStyle(base));
}

void TApplication::SetExceptionHandler(TzExceptionHandler handler) {
    ExceptionHandler() = std::move(handler);
}

bool TApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        HandleException(QString::fromUtf8(e.what()));
    } catch (...) {
        HandleException(QStringLiteral("Unknown exception"));
    }
    return false;
}

void TApplication::HandleException(const QString &message) {
    if (ExceptionHandler())
        ExceptionHandler()(message);
    else
        qWarning("%s", qUtf8Printable(message));
}

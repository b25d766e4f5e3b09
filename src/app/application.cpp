#include "application.h"

#include "widgets/tool_tip_style.h"

#include <QEvent>
#include <QWidget>

#include <exception>

namespace {

constexpr int kToolTipDurationMs = 100000;

TzExceptionHandler &ExceptionHandler() {
    static TzExceptionHandler handler;
    return handler;
}

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
    setStyle(NewToolTipStyle());
    installEventFilter(new TzToolTipDurationFilter(this));
}

TApplication::~TApplication() = default;

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

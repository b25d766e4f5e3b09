#pragma once

#include <QApplication>

#include <functional>

using TzExceptionHandler = std::function<void(const QString &message)>;

// The application object: an exception escaping an event handler goes to the exception handler
// (or to qWarning when none is set) and the program goes on. Tooltips appear 200 ms after the
// pointer comes to rest and stay up for 100000 ms.
class TApplication : public QApplication {
public:
    TApplication(int &argc, char **argv);
    ~TApplication() override;

    static void SetExceptionHandler(TzExceptionHandler handler);

    bool notify(QObject *receiver, QEvent *event) override;

private:
    static void HandleException(const QString &message);
};

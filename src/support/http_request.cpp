#include "http_request.h"

#include "http_get_task.h"

#include <QAtomicInt>
#include <QSslSocket>
#include <QThreadPool>

namespace {
std::function<bool()> &TlsLibraryCheck() {
    static std::function<bool()> check;
    return check;
}

QAtomicInt &PendingCount() {
    static QAtomicInt count;
    return count;
}

bool TlsLibraryAvailable() {
    const std::function<bool()> &check = TlsLibraryCheck();
    return check ? check() : QSslSocket::supportsSsl();
}

bool IsSpaceOrControl(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control;
}

QString TrimSpacesAndControls(const QString &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsSpaceOrControl(text.at(begin)))
        ++begin;
    while (end > begin && IsSpaceOrControl(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}
} // namespace

void SetTlsLibraryCheck(std::function<bool()> check) {
    TlsLibraryCheck() = std::move(check);
}

TzHTTP_Request &HTTPRequest() {
    static TzHTTP_Request instance;
    return instance;
}

void TzHTTP_Request::SendGetRequest(const QString &aRequest, TzCallbackProc aCallback) {
    const QString url = TrimSpacesAndControls(aRequest);
    if (url.isEmpty() || !TlsLibraryAvailable())
        return;
    PendingCount().fetchAndAddOrdered(1);
    QThreadPool::globalInstance()->start([settings = *this, url, callback = std::move(aCallback)] {
        const struct Ended {
            ~Ended() { PendingCount().fetchAndSubOrdered(1); }
        } ended;
        RunHTTPGetTask(url, callback, settings);
    });
}

int TzHTTP_Request::PendingRequests() const {
    return PendingCount().loadAcquire();
}

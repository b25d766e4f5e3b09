#include "http_request.h"

#include "http_client.h"

#include <QAtomicInt>
#include <QSslSocket>
#include <QUrl>

namespace {
std::function<bool()> &TlsLibraryCheck() {
    static std::function<bool()> check;
    return check;
}

TzHttpLimits &Limits() {
    static TzHttpLimits limits;
    return limits;
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

void SetHttpLimits(const TzHttpLimits &limits) {
    Limits() = limits;
}

bool IsWebUrl(const QString &url) {
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !parsed.host().isEmpty();
}

TzHTTP_Request &HTTPRequest() {
    static TzHTTP_Request instance;
    return instance;
}

void TzHTTP_Request::SendGetRequest(const QString &aRequest, TzCallbackProc aCallback) {
    const QString url = TrimSpacesAndControls(aRequest);
    if (url.isEmpty() || !TlsLibraryAvailable() || !IsWebUrl(url))
        return;
    PendingCount().fetchAndAddOrdered(1);
    // The settings are taken now, not when the HTTP thread gets to the request.
    StartHttpGet({url, *this, Limits(), std::move(aCallback)},
                 [] { PendingCount().fetchAndSubOrdered(1); });
}

int TzHTTP_Request::PendingRequests() const {
    return PendingCount().loadAcquire();
}

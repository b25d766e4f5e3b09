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

void TzHTTP_Request::SendGetRequest(const QString &aRequest, TzCallbackProc aCallback) {
    const QString url = TrimSpacesAndControls(aRequest);
    if (url.isEmpty() || !TlsLibraryAvailable() || !IsWebUrl(url))
        return;
    // The count outlives this object while its requests run on the HTTP thread.
    std::shared_ptr<QAtomicInt> pending = m_pending;
    pending->fetchAndAddOrdered(1);
    // The settings are taken now, not when the HTTP thread gets to the request.
    StartHttpGet({url, *this, Limits(), std::move(aCallback)},
                 [pending] { pending->fetchAndSubOrdered(1); });
}

int TzHTTP_Request::PendingRequests() const {
    return m_pending->loadAcquire();
}

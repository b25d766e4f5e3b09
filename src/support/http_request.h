#pragma once

#include <QAtomicInt>
#include <QString>

#include <functional>
#include <memory>

// What a callback receives; a GET fills Answer with the answer body and leaves the rest empty.
struct TzEventCallbackInfo {
    QString Msg, URL, Code, Answer, Status;
};

using TzCallbackProc = std::function<void(TzEventCallbackInfo info)>;

// An answer body longer than this is refused: a poll answer is a few lines.
inline constexpr qint64 kMaxAnswerBytes = 64 * 1024;

// How long one request may take.
struct TzHttpLimits {
    int TransferTimeoutMs = 20000; // silence that ends a request
    int DeadlineMs = 30000;        // the whole request, however slowly its bytes trickle in
};

class TzHTTP_Request {
public:
    // Copied when a request starts: the GUI thread may change them while earlier requests run.
    bool UseProxy = false;
    bool BasicAuthentication = false;
    QString ProxyServer;
    int ProxyPort = 0;
    QString ProxyUsername, ProxyPassword;

    // Starts one GET of an http or https URL and returns at once. Every request of the process
    // runs on one HTTP thread with its own event loop, so a stalled service holds nothing but
    // its own request. The callback (may be empty) runs on that thread with the answer body:
    // keep it short, and hand the work to the thread it belongs to. Any failure (other schemes,
    // an error status, an answer over kMaxAnswerBytes, a limit of TzHttpLimits, a step down from
    // https to http) ends the request with no callback.
    void SendGetRequest(const QString &aRequest, TzCallbackProc aCallback);

    // Requests this object started and not yet ended, whatever their outcome.
    int PendingRequests() const;

private:
    std::shared_ptr<QAtomicInt> m_pending = std::make_shared<QAtomicInt>();
};

// True for an http or https URL with a host: the only kind the program requests or opens.
bool IsWebUrl(const QString &url);

// Replaces the check that the TLS library is available (QSslSocket::supportsSsl()), which every
// request must pass, https or not. Tests use it to play a missing library; an empty function
// restores the real check. Set it only while no request is being started.
void SetTlsLibraryCheck(std::function<bool()> check);

// The limits of requests started from now on. Tests shorten them; set them only while no
// request is being started.
void SetHttpLimits(const TzHttpLimits &limits);

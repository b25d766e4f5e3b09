#pragma once

#include <QString>

#include <functional>

// What a callback receives; a GET fills Answer with the answer body and leaves the rest empty.
struct TzEventCallbackInfo {
    QString Msg, URL, Code, Answer, Status;
};

using TzCallbackProc = std::function<void(TzEventCallbackInfo info)>;

class TzHTTP_Request {
public:
    // Copied when a request starts: the GUI thread may change them while earlier requests run.
    bool UseProxy = false;
    bool BasicAuthentication = false;
    QString ProxyServer;
    int ProxyPort = 0;
    QString ProxyUsername, ProxyPassword;

    // Starts one GET in the background and returns at once. The callback (may be empty) runs on
    // the pool thread with the answer body; any failure ends the request with no callback.
    void SendGetRequest(const QString &aRequest, TzCallbackProc aCallback);

    // Requests started and not yet ended, whatever their outcome.
    int PendingRequests() const;
};

TzHTTP_Request &HTTPRequest(); // the one process-wide instance

// Replaces the check that the TLS library is available (QSslSocket::supportsSsl()), which every
// request must pass, https or not. Tests use it to play a missing library; an empty function
// restores the real check. Set it only while no request is being started.
void SetTlsLibraryCheck(std::function<bool()> check);

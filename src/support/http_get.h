#pragma once

#include "http_client.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QNetworkReply;

// Follows one reply on the HTTP thread to its end: takes at most kMaxAnswerBytes of body,
// aborts at the request's deadline, and on success decodes the body and calls the callback.
// It deletes itself when the reply has finished; ended() runs as it goes.
class TzHttpGet : public QObject {
    Q_OBJECT
public:
    TzHttpGet(QNetworkReply *reply, TzHttpGetJob job, std::function<void()> ended, QObject *parent);
    ~TzHttpGet() override;

    void Abort();

private:
    void Take();
    void Finish();
    void Refuse(); // the answer is too long

    QNetworkReply *m_reply;
    TzCallbackProc m_callback;
    std::function<void()> m_ended;
    QTimer m_deadline;
    QByteArray m_body;
    bool m_refused = false;
    bool m_finished = false;
};

#include "http_get.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QStringDecoder>

namespace {
// The charset parameter of a Content-Type value ("text/plain; charset=windows-1251"), or empty.
QByteArray CharsetOf(const QByteArray &contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts.at(i).trimmed();
        const qsizetype equals = part.indexOf('=');
        if (equals < 0 || part.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = part.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

// UTF-8 when the server declares no charset or one that is not known here.
QString DecodeBody(const QByteArray &body, const QByteArray &contentType) {
    const QByteArray charset = CharsetOf(contentType);
    QStringDecoder decoder(charset.isEmpty() ? "UTF-8" : charset.constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(body);
}
} // namespace

TzHttpGet::TzHttpGet(QNetworkReply *reply, TzHttpGetJob job, std::function<void()> ended,
                     QObject *parent)
    : QObject(parent), m_reply(reply), m_callback(std::move(job.Callback)),
      m_ended(std::move(ended)) {
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        // A declared length over the cap is refused before any of the body is read.
        bool known = false;
        const qlonglong length =
            m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > kMaxAnswerBytes)
            Refuse();
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &TzHttpGet::Take);
    connect(m_reply, &QNetworkReply::finished, this, &TzHttpGet::Finish);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &TzHttpGet::Abort);
    m_deadline.start(job.Limits.DeadlineMs);
    if (m_reply->isFinished()) // it may have failed at once, before anything was connected
        QMetaObject::invokeMethod(this, &TzHttpGet::Finish, Qt::QueuedConnection);
}

TzHttpGet::~TzHttpGet() {
    if (m_ended)
        m_ended();
}

void TzHttpGet::Abort() {
    if (!m_finished)
        m_reply->abort(); // finishes the reply with an error: no callback
}

void TzHttpGet::Refuse() {
    m_refused = true;
    Abort();
}

// Read as it comes, never more than one byte past the cap.
void TzHttpGet::Take() {
    if (m_refused || m_finished || !m_reply->isOpen())
        return;
    m_body += m_reply->read(kMaxAnswerBytes + 1 - m_body.size());
    if (m_body.size() > kMaxAnswerBytes)
        Refuse();
}

void TzHttpGet::Finish() {
    if (m_finished)
        return;
    Take();
    m_finished = true;
    m_deadline.stop();
    const bool answered = !m_refused && m_reply->error() == QNetworkReply::NoError;
    if (answered && m_callback && !QCoreApplication::closingDown()) {
        TzEventCallbackInfo info;
        info.Answer = DecodeBody(m_body, m_reply->rawHeader("Content-Type"));
        try {
            m_callback(info);
        } catch (...) {
            // a failing callback ends its request like any other failure
        }
    }
    deleteLater();
}

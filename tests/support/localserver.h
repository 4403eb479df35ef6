// A small HTTP/1.1 server on 127.0.0.1 for the tests: serves fixed answers
// by path, records every request, can hold an answer back or never answer.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

class LocalServer : public QObject
{
    Q_OBJECT
public:
    struct Answer {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        int delayMs = 0; // wait before answering
        bool never = false; // accept the request, never answer
    };
    struct Request {
        QByteArray method;
        QByteArray target; // path and query exactly as sent
        QMap<QByteArray, QByteArray> headers; // names in lower case
        bool cancelled = false; // the client closed the connection before the answer
    };

    explicit LocalServer(QObject *parent = nullptr) : QObject(parent)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &LocalServer::onConnection);
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    ~LocalServer() override
    {
        // Connections still open end here, while the bookkeeping their
        // signals report to still exists.
        const auto sockets = m_server.findChildren<QTcpSocket *>();
        for (QTcpSocket *s : sockets) {
            s->disconnect(this);
            delete s;
        }
    }

    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:PORT"
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }

    // Answer for a path (without query); "*" answers every other path.
    void setAnswer(const QByteArray &path, const Answer &answer) { m_answers[path] = answer; }
    void clear() { m_requests.clear(); }

    const QList<Request> &requests() const { return m_requests; }
    bool waitForRequests(int count, int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (m_requests.size() < count && t.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return m_requests.size() >= count;
    }

    // Stops listening: later connections are refused.
    void close() { m_server.close(); }

private:
    void onConnection()
    {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, this, [this, s] { onData(s); });
            connect(s, &QTcpSocket::disconnected, this, [this, s] {
                const int index = m_pending.value(s, -1);
                if (index >= 0 && index < m_requests.size())
                    m_requests[index].cancelled = true;
                m_pending.remove(s);
                m_buffers.remove(s);
                s->deleteLater();
            });
        }
    }

    void onData(QTcpSocket *s)
    {
        QByteArray &buffer = m_buffers[s];
        buffer += s->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);
        Request r;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        r.method = first.value(0);
        r.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                r.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
        }
        m_requests.append(r);
        const int index = int(m_requests.size()) - 1;

        QByteArray path = r.target;
        const qsizetype q = path.indexOf('?');
        if (q >= 0)
            path.truncate(q);
        Answer a = m_answers.contains(path) ? m_answers.value(path)
            : m_answers.contains("*")       ? m_answers.value("*")
                                            : Answer {404, "text/plain", "not found"};
        if (a.never) {
            m_pending[s] = index;
            return;
        }
        m_pending[s] = index;
        QPointer<QTcpSocket> socket(s);
        auto reply = [this, socket, a] {
            if (!socket)
                return;
            m_pending.remove(socket.data());
            QByteArray out = "HTTP/1.1 " + QByteArray::number(a.status) + " X\r\n";
            out += "Content-Type: " + a.contentType + "\r\n";
            out += "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n";
            out += "Connection: close\r\n\r\n";
            out += a.body;
            socket->write(out);
            socket->disconnectFromHost();
        };
        if (a.delayMs > 0)
            QTimer::singleShot(a.delayMs, this, reply);
        else
            reply();
    }

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QHash<QTcpSocket *, int> m_pending;
};

// SPDX-License-Identifier: MIT
#pragma once

// A chat-completions server on the loopback address, driven by the test: it
// records every request and streams whatever the test sends to the latest
// connection as server-sent events.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

namespace kelvane::ui::sheets::test {

class FakeChatServer final : public QObject {
public:
    struct Request {
        QByteArray head;
        QJsonObject body;
    };

    FakeChatServer()
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++connections;
                socket->setParent(this);
                QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    ++disconnects;
                    socket->deleteLater();
                });
            }
        });
    }

    QString endpoint(const QString& path = "/v1") const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    quint16 port() const { return server_.serverPort(); }

    // How the next request is answered before the test streams anything.
    QByteArray responseHead = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nConnection: close\r\n\r\n";

    // Raw bytes to the newest connection.
    void sendRaw(const QByteArray& bytes)
    {
        if (current_)
            current_->write(bytes), current_->flush();
    }
    // One event carrying a fragment of the answer.
    void sendFragment(const QString& fragment)
    {
        const QJsonObject delta{{"content", fragment}};
        const QJsonObject choice{{"index", 0}, {"delta", delta}};
        const QJsonObject chunk{{"choices", QJsonArray{choice}}};
        sendRaw("data: " + QJsonDocument(chunk).toJson(QJsonDocument::Compact) + "\n\n");
    }
    void finish()
    {
        sendRaw("data: [DONE]\n\n");
        hangUp();
    }
    void hangUp()
    {
        if (current_)
            current_->disconnectFromHost();
    }

    QList<Request> requests;
    int connections = 0;
    int disconnects = 0;

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QByteArray head = buffer.left(headEnd);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            return;
        requests.append({head, QJsonDocument::fromJson(buffer.mid(headEnd + 4, length)).object()});
        buffers_.remove(socket);
        current_ = socket;
        socket->write(responseHead);
        socket->flush();
    }

    QTcpServer server_;
    QPointer<QTcpSocket> current_;
    QHash<QTcpSocket*, QByteArray> buffers_;
};

}  // namespace kelvane::ui::sheets::test

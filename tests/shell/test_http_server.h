// A small HTTP server of ours on 127.0.0.1 for the update check and the usage ping.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

namespace pc::testing {

class TestHttpServer : public QObject {
  public:
    enum class Mode { Answer, NotFound, Silent };

    TestHttpServer() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
            }
        });
    }
    QString base() const { return QString("http://127.0.0.1:%1/").arg(server_.serverPort()); }

    Mode mode = Mode::Answer;
    QByteArray body;
    QList<QByteArray> requests;  // whole request heads, in order

  private:
    void serve(QTcpSocket* s) {
        QByteArray& pending = pending_[s];
        pending += s->readAll();
        if (!pending.contains("\r\n\r\n")) return;
        requests << pending;
        pending.clear();
        if (mode == Mode::Silent) return;
        const QByteArray status = mode == Mode::Answer ? "200 OK" : "404 Not Found";
        const QByteArray content = mode == Mode::Answer ? body : QByteArray("missing");
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                 QByteArray::number(content.size()) + "\r\nConnection: close\r\n\r\n" + content);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

}  // namespace pc::testing

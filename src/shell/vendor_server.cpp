#include "vendor_server.h"

#include <QEventLoop>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace pc {

VendorServer::VendorServer(QUrl base, std::chrono::milliseconds timeout)
    : base_(std::move(base)), timeout_(timeout) {
    http_.setProxy(QNetworkProxy::NoProxy);
}

QNetworkReply* VendorServer::send(const QString& pathAndQuery, std::chrono::milliseconds limit) {
    QNetworkRequest request(QUrl(base_.toString() + pathAndQuery));
    request.setHeader(QNetworkRequest::UserAgentHeader, "Mozilla/3.0 (compatible; Indy Library)");
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::ContentTypeHeader, "text/html");
    request.setTransferTimeout(static_cast<int>(limit.count()));
    QNetworkReply* reply = http_.get(request);
    // For the whole request, connecting included.
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, reply, &QNetworkReply::abort);
    timer->start(limit);
    return reply;
}

void VendorServer::getLater(const QString& pathAndQuery, Answer answer) {
    QNetworkReply* reply = send(pathAndQuery, timeout_);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, answer = std::move(answer)] {
        std::optional<QByteArray> body;
        if (reply->error() == QNetworkReply::NoError) body = reply->readAll();
        reply->deleteLater();
        answer(std::move(body));
    });
}

std::optional<QByteArray> VendorServer::get(const QString& pathAndQuery,
                                            std::chrono::milliseconds limit) {
    QNetworkReply* reply = send(pathAndQuery, std::min(limit, timeout_));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) loop.exec();
    std::optional<QByteArray> body;
    if (reply->error() == QNetworkReply::NoError) body = reply->readAll();
    reply->deleteLater();
    return body;
}

}  // namespace pc

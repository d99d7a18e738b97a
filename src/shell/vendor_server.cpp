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

std::optional<QByteArray> VendorServer::get(const QString& pathAndQuery) {
    QNetworkRequest request(QUrl(base_.toString() + pathAndQuery));
    request.setHeader(QNetworkRequest::UserAgentHeader, "Mozilla/3.0 (compatible; Indy Library)");
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::ContentTypeHeader, "text/html");
    request.setTransferTimeout(static_cast<int>(timeout_.count()));

    QNetworkReply* reply = http_.get(request);
    QEventLoop loop;
    QTimer limit;  // for the whole request, connecting included
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    limit.start(timeout_);
    if (!reply->isFinished()) loop.exec();
    std::optional<QByteArray> body;
    if (reply->error() == QNetworkReply::NoError) body = reply->readAll();
    reply->deleteLater();
    return body;
}

}  // namespace pc

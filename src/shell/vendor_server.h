// The vendor's web server: plain GET requests with fixed header settings and a time limit, either
// answered later on the window's own event loop, or waited for while a local event loop keeps
// the windows painted.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QUrl>

class QNetworkReply;

#include <chrono>
#include <functional>
#include <optional>

namespace pc {

// Where the update file and the counting endpoint live until a real server exists: a name under
// .invalid never resolves, so a fresh install never waits on anybody's host.
inline constexpr const char* kDefaultServer = "http://update.phonecarve.invalid/";

class VendorServer {
  public:
    VendorServer(QUrl base, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    using Answer = std::function<void(std::optional<QByteArray> body)>;

    // Asks for base + `pathAndQuery` and returns at once; `answer` gets the body later, or nullopt
    // when there was no answer within the limit, the name did not resolve or the server answered
    // with an error.
    void getLater(const QString& pathAndQuery, Answer answer);
    // The same, waited for, within `limit` (the server's own limit when it is longer).
    std::optional<QByteArray> get(const QString& pathAndQuery, std::chrono::milliseconds limit);

  private:
    QNetworkReply* send(const QString& pathAndQuery, std::chrono::milliseconds limit);

    QUrl base_;
    std::chrono::milliseconds timeout_;
    QNetworkAccessManager http_;  // the default cookie jar accepts cookies
};

}  // namespace pc

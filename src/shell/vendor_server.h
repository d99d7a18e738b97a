// The vendor's web server: plain GET requests with fixed header settings and a time limit, while
// a local event loop keeps the windows painted.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QUrl>

#include <chrono>
#include <optional>

namespace pc {

// Where the update file and the counting endpoint live until a real server exists: a name under
// .invalid never resolves, so a fresh install never waits on anybody's host.
inline constexpr const char* kDefaultServer = "http://update.phonecarve.invalid/";

class VendorServer {
  public:
    VendorServer(QUrl base, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // The body of base + `pathAndQuery`, or nullopt when there was no answer within the limit,
    // the name did not resolve or the server answered with an error.
    std::optional<QByteArray> get(const QString& pathAndQuery);

  private:
    QUrl base_;
    std::chrono::milliseconds timeout_;
    QNetworkAccessManager http_;  // the default cookie jar accepts cookies
};

}  // namespace pc

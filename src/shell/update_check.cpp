#include "update_check.h"

#include <QUrlQuery>

#include <cstdlib>

#include "profile_file.h"
#include "text_export.h"

namespace pc {

double versionNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin || *end != '\0') return 0;
    return v;
}

void UpdateCheck(const std::string& storedVersion, const UpdateContext& c,
                 std::function<void(bool)> done) {
    // First, so that the check runs at most once a day even when it fails.
    writeProfileString(c.appDir + "config.ini", "main", "date", c.todayText);
    c.server.getLater("update/version.txt", [storedVersion, &c, done = std::move(done)](
                                                std::optional<QByteArray> body) {
        std::string newest = "0";
        if (body) {
            const std::string file = c.appDir + "updatever.ini";
            try {
                writeWholeFile(file, std::string_view(body->constData(),
                                                      static_cast<std::size_t>(body->size())));
                newest = readProfileString(file, "ADver", "lastver", "0");
            } catch (const ExportError&) {
                // Not writable: as if nothing came; an older file stays as it was.
            }
        }
        if (versionNumber(newest) <= versionNumber(storedVersion)) return done(false);
        const std::string question =
            "当前程序最新版本是" + newest + ",你现在的版本是" + storedVersion + ",是否要更新？";
        if (c.prompter.message(question, "更新", MessageIcon::Question, Buttons::YesNo) !=
            Answer::Yes)
            return done(false);
        c.startDetached(c.appDir + "update");  // a failed start is not told; the program ends
        done(true);
    });
}

void UsagePing(VendorServer& server, const std::string& id, const std::string& version,
               const std::string& productName) {
    QUrlQuery query;
    query.addQueryItem("id", QString::fromStdString(id));
    query.addQueryItem("version", QString::fromStdString(version));
    query.addQueryItem("software_name", QString::fromStdString(productName));
    server.get("count/count.asp?" + query.toString(QUrl::FullyEncoded), kPingLimit);
}

}  // namespace pc

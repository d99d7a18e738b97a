#include "html_report.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "category_profile.h"
#include "contact_names.h"
#include "conversations.h"
#include "file_names.h"
#include "html_text.h"
#include "result_columns.h"
#include "row_format.h"
#include "text_export.h"

namespace pc {

namespace {

constexpr const char* kStyle =
    "body{font-family:'Noto Sans CJK SC','Microsoft YaHei',sans-serif;margin:1.5em;color:#222}"
    "table{border-collapse:collapse;margin:.5em 0 1.5em}"
    "th,td{border:1px solid #bbb;padding:.25em .5em;vertical-align:top;text-align:left}"
    "th{background:#eee;white-space:nowrap}"
    "td.text{white-space:pre-wrap;max-width:40em;overflow-wrap:anywhere}"
    "tr.deleted td{background:#fde8e8}.state-deleted{color:#b00000;font-weight:bold}"
    ".hash{font-family:monospace;font-size:.8em;word-break:break-all;max-width:17em}"
    ".differs{color:#b00000;font-weight:bold}"
    "nav{margin:.5em 0}nav a{margin-right:1em}"
    ".chat p{margin:.3em 0 .3em 0;padding:.3em .6em;border-radius:.4em;max-width:46em}"
    ".chat .in{background:#f1f1f1}.chat .out{background:#e3f0ff;margin-left:6em}"
    ".chat .when{color:#666;font-size:.85em}.chat bdi{white-space:pre-wrap}";

std::string pageName(std::string_view stem, std::size_t page) {
    return std::string(stem) + "-" + std::to_string(page + 1) + ".html";
}

// A page of the report: its head, what the caller puts in, and its end, written as one file.
class Page {
  public:
    Page(std::string title, std::string nav) : nav_(std::move(nav)) {
        html_ =
            "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width\"><title>" +
            htmlText(title) + "</title><style>" + kStyle + "</style></head><body>\n" + nav_ +
            "<h1>" + htmlText(title) + "</h1>\n";
    }
    std::string& html() { return html_; }
    void writeTo(const std::string& path, std::vector<std::string>& written) {
        html_ += nav_ + "</body></html>\n";
        writeWholeFile(path, html_);
        written.push_back(path);
    }

  private:
    std::string nav_;
    std::string html_;
};

// Links to the index and to the pages before and after.
std::string navigation(std::string_view stem, std::size_t page, std::size_t pages) {
    std::string nav = "<nav><a href=\"index.html\">返回目录</a>";
    if (page > 0) nav += "<a href=\"" + pageName(stem, page - 1) + "\">上一页</a>";
    if (page + 1 < pages) nav += "<a href=\"" + pageName(stem, page + 1) + "\">下一页</a>";
    nav += "第 " + std::to_string(page + 1) + " / " + std::to_string(pages) + " 页</nav>\n";
    return nav;
}

std::size_t pagesFor(std::size_t rows) {
    return std::max<std::size_t>(1, (rows + kReportRowsPerPage - 1) / kReportRowsPerPage);
}

// A cell is a paragraph of its own: a right-to-left mark in it turns nothing outside it.
void cell(std::string& html, std::string_view text, const char* cls = nullptr) {
    html += cls ? std::string("<td class=\"") + cls + "\">" : std::string("<td>");
    appendHtmlText(html, text);
    html += "</td>";
}

// Each part's file by the shortest name that sets it apart (the index lists them whole).
std::vector<std::string> partNames(const ResultStore& store, CategoryCode code) {
    std::vector<std::string> paths;
    for (PartIndex part = 0; part < store.partCount(code); ++part)
        paths.push_back(store.partPath(code, part));
    return shortFileNames(paths);
}

void categoryPages(const std::string& dir, const ResultStore& store, CategoryCode code,
                   const std::function<void()>& pump, std::vector<std::string>& written) {
    const std::vector<std::string> files = partNames(store, code);
    const CategoryProfile& p = profileOf(code);
    const auto rows = static_cast<std::size_t>(store.count(code));
    const std::size_t pages = pagesFor(rows);
    for (std::size_t page = 0; page < pages; ++page) {
        Page out(std::string(p.branch) + " — 第 " + std::to_string(page + 1) + " 页",
                 navigation(p.key, page, pages));
        std::string& html = out.html();
        html += "<table><tr><th>#</th>";
        for (const ResultColumn& c : ResultColumns(code))
            if (std::string_view(c.heading) != "telid")
                html += "<th>" + htmlText(c.heading) + "</th>";
        html += "<th>文件</th><th>来源</th><th>偏移</th></tr>\n";
        const std::size_t end = std::min(rows, (page + 1) * kReportRowsPerPage);
        for (std::size_t i = page * kReportRowsPerPage; i < end; ++i) {
            if (pump && i % 4096 == 0) pump();
            const auto row = static_cast<std::uint32_t>(i);
            const bool deleted = store.stateAt(code, row) == RecordState::Deleted;
            html += deleted ? "<tr class=\"deleted\">" : "<tr>";
            html += "<td>";
            html += std::to_string(i + 1);
            html += "</td>";
            const RowCells cells = store.rowCells(code, row);
            for (std::size_t c = 0; c < cells.size; ++c) {
                const bool isState = p.cellText[c] < 0;
                const bool isText = static_cast<int>(c) == p.textCell && p.longText >= 0;
                cell(html, cells.cells[c],
                     isState  ? (deleted ? "state-deleted" : nullptr)
                     : isText ? "text"
                              : nullptr);
            }
            const Provenance found = store.foundAt(code, row);
            cell(html, files.at(store.partOf(code, row)));
            cell(html, sourceKey(found.source));
            cell(html, std::to_string(found.offset));
            html += "</tr>\n";
        }
        html += "</table>\n";
        out.writeTo(joinPath(dir, pageName(p.key, page)), written);
    }
}

// The messages by number, each conversation in time order, as a chat.
std::size_t conversationPages(const std::string& dir, const ResultStore& store,
                              const std::function<void()>& pump,
                              std::vector<std::string>& written) {
    const std::vector<Conversation> all = conversationsOf(store);
    const ContactNames names(store);
    // Whole conversations to a page, about kReportRowsPerPage messages each.
    std::vector<std::pair<std::size_t, std::size_t>> pages;
    for (std::size_t c = 0, messages = 0, first = 0; c < all.size(); ++c) {
        messages += all[c].messages.size();
        if (messages >= kReportRowsPerPage || c + 1 == all.size()) {
            pages.push_back({first, c + 1});
            first = c + 1;
            messages = 0;
        }
    }
    for (std::size_t page = 0; page < pages.size(); ++page) {
        Page out("会话 — 第 " + std::to_string(page + 1) + " 页",
                 navigation("conversations", page, pages.size()));
        std::string& html = out.html();
        for (std::size_t c = pages[page].first; c < pages[page].second; ++c) {
            if (pump) pump();
            const Conversation& conv = all[c];
            html += "<section class=\"chat\"><h3><bdi>" + htmlText(conv.address) + "</bdi>";
            const std::string_view name = names.nameOf(conv.address);
            if (!name.empty()) html += " (<bdi>" + htmlText(name) + "</bdi>)";
            html += "</h3>\n";
            for (const MessageRef m : conv.messages) {
                const ChatLine v = chatLine(store, m);
                const bool sent = v.type == "发送";
                html += sent ? "<p class=\"out\">" : "<p class=\"in\">";
                html += "<span class=\"when\">";
                appendHtmlText(html, v.date);
                html += " ";
                appendHtmlText(html, v.type);
                if (m.code != CategoryCode::Sms) {
                    html += " [";
                    appendHtmlText(html, profileOf(m.code).branch);
                    html += "] ";
                    appendHtmlText(html, v.sender);
                }
                html += "</span>";
                if (v.state == RecordState::Deleted)
                    html += " <span class=\"state-deleted\">[已删除]</span>";
                html += "<br><bdi>";
                appendHtmlText(html, v.body);
                html += "</bdi></p>\n";
            }
            html += "</section>\n";
        }
        out.writeTo(joinPath(dir, pageName("conversations", page)), written);
    }
    return pages.size();
}

void indexPage(const std::string& dir, const ReportFacts& f, const ResultStore& store,
               bool conversations, std::vector<std::string>& written) {
    Page out(f.title, "");
    std::string& html = out.html();
    auto row = [&](std::string_view name, std::string_view value) {
        html += "<tr><th>" + htmlText(name) + "</th>";
        cell(html, value);
        html += "</tr>\n";
    };
    html += "<table>";
    if (!f.examiner.empty()) row("检验人", f.examiner);
    row("程序", "PhoneCarve " + f.version);
    row("命令", f.command);
    row("开始时间", f.started);
    row("结束时间", f.ended);
    row("时区", "所有时间均为 " + utcOffsetName(f.utcOffsetSeconds));
    html +=
        "</table>\n<h2>源文件</h2>\n<table><tr><th>文件</th><th>大小 (字节)</th>"
        "<th>修改时间</th><th>SHA-256 (扫描前)</th><th>SHA-256 (扫描后)</th><th>是否一致</th>"
        "</tr>\n";
    for (const auto& [before, after] : f.sources) {
        const bool gone = after.sha256.empty();
        const bool same = before.sha256 == after.sha256 && before.size == after.size &&
                          before.modifiedUnix == after.modifiedUnix;
        html += "<tr>";
        cell(html, before.path);
        cell(html, std::to_string(before.size));
        cell(html, shownTime(before.modifiedUnix, f.utcOffsetSeconds));
        cell(html, before.sha256, "hash");
        cell(html, gone ? "—" : after.sha256, "hash");
        // A phone's copy is removed after its scan: there is nothing left to compare.
        html += gone   ? "<td>文件已删除（扫描时的副本）</td>"
                : same ? "<td>一致</td>"
                       : "<td class=\"differs\">不一致</td>";
        html += "</tr>\n";
    }
    html +=
        "</table>\n<h2>结果</h2>\n<table><tr><th>类别</th><th>正常</th><th>删除</th>"
        "<th>合计</th><th>页面</th></tr>\n";
    for (const CategoryCode code : kAllCategories) {
        const auto rows = static_cast<std::uint32_t>(store.count(code));
        std::uint32_t deleted = 0;
        for (std::uint32_t i = 0; i < rows; ++i)
            deleted += store.stateAt(code, i) == RecordState::Deleted;
        const CategoryProfile& p = profileOf(code);
        html += "<tr><td>" + htmlText(p.branch) + "</td><td>" + std::to_string(rows - deleted) +
                "</td><td>" + std::to_string(deleted) + "</td><td>" + std::to_string(rows) +
                "</td><td>";
        const std::size_t pages = pagesFor(rows);
        for (std::size_t page = 0; rows > 0 && page < pages; ++page)
            html +=
                "<a href=\"" + pageName(p.key, page) + "\">" + std::to_string(page + 1) + "</a> ";
        html += "</td></tr>\n";
    }
    html += "</table>\n";
    if (conversations)
        html += "<p><a href=\"" + pageName("conversations", 0) + "\">按会话查看短信</a></p>\n";
    html +=
        "<p>删除的记录以浅红色底色标出；来源 main、wal、journal 指数据库文件本身、"
        "其预写日志 (-wal) 与回滚日志 (-journal)，偏移是记录在该文件中的字节位置。</p>\n";
    out.writeTo(joinPath(dir, "index.html"), written);
}

}  // namespace

std::string shownTime(std::int64_t unix, std::int64_t offset) {
    const std::time_t shifted = static_cast<std::time_t>(unix + offset);
    std::tm tm{};
    gmtime_r(&shifted, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

std::string utcOffsetName(std::int64_t seconds) {
    std::string name = seconds < 0 ? "UTC-" : "UTC+";
    const std::int64_t a = seconds < 0 ? -seconds : seconds;
    name += std::to_string(a / 3600);
    if (a % 3600) {
        const std::int64_t minutes = a % 3600 / 60;
        name += (minutes < 10 ? ":0" : ":") + std::to_string(minutes);
    }
    return name;
}

std::vector<std::string> writeHtmlReport(const std::string& dir, const ReportFacts& facts,
                                         const ResultStore& store,
                                         const std::function<void()>& pump) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) throw ExportError("Cannot create folder \"" + dir + "\"", dir, ec.value());
    std::vector<std::string> pages;
    for (const CategoryCode code : kAllCategories)
        if (store.count(code) > 0) categoryPages(dir, store, code, pump, pages);
    const bool conversations =
        messageCount(store) > 0 && conversationPages(dir, store, pump, pages) > 0;
    std::vector<std::string> written;
    indexPage(dir, facts, store, conversations, written);
    written.insert(written.end(), pages.begin(), pages.end());
    return written;
}

}  // namespace pc

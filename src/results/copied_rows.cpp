#include "copied_rows.h"

#include "html_text.h"

namespace pc {

namespace {

void appendTabField(std::string& out, std::string_view text) {
    if (text.find_first_of("\t\r\n\"") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

void CopiedRows::beginRow() {
    if (anyRow_) {
        text_ += '\n';
        html_ += "</tr>";
    }
    html_ += "<tr>";
    anyRow_ = true;
    firstCell_ = true;
}

void CopiedRows::cell(std::string_view text) {
    if (!firstCell_) text_ += '\t';
    firstCell_ = false;
    appendTabField(text_, text);
    html_ += "<td>";
    appendHtmlText(html_, text, LineBreaks::AsBr);
    html_ += "</td>";
}

std::string CopiedRows::html() const {
    // UTF-8 said outright: a paste target may take the fragment alone.
    return "<meta charset=\"utf-8\"><table>" + html_ + (anyRow_ ? "</tr>" : "") + "</table>";
}

}  // namespace pc

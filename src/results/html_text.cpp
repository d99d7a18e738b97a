#include "html_text.h"

namespace pc {

void appendHtmlText(std::string& out, std::string_view text, LineBreaks breaks) {
    out.reserve(out.size() + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            case '\r':
            case '\n':
                if (breaks == LineBreaks::Kept) {
                    out += c;
                } else if (c == '\n' || i + 1 == text.size() || text[i + 1] != '\n') {
                    out += "<br>";  // CR LF is one break
                }
                break;
            default: out += c;
        }
    }
}

std::string htmlText(std::string_view text, LineBreaks breaks) {
    std::string out;
    appendHtmlText(out, text, breaks);
    return out;
}

}  // namespace pc

#include "html_text.h"

namespace pc {

namespace {

bool special(char c) {
    return c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' || c == '\r' || c == '\n';
}

}  // namespace

void appendHtmlText(std::string& out, std::string_view text, LineBreaks breaks) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Runs of characters that stay as they are go in at once.
        std::size_t plain = i;
        while (plain < text.size() && !special(text[plain]))
            ++plain;
        out.append(text.data() + i, plain - i);
        if (plain == text.size()) break;
        i = plain;
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

// Text put into HTML: the characters HTML gives a meaning escaped, so that a message holding
// markup shows it as text; line breaks (CR LF, LF or CR) as <br> where asked.
#pragma once

#include <string>
#include <string_view>

namespace pc {

enum class LineBreaks { Kept, AsBr };

void appendHtmlText(std::string& out, std::string_view text, LineBreaks breaks = LineBreaks::Kept);
std::string htmlText(std::string_view text, LineBreaks breaks = LineBreaks::Kept);

}  // namespace pc

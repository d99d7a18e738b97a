// Rows as the clipboard takes them for a spreadsheet: TAB text with a field that holds a TAB, a
// line break or a quote in quotes (its quotes doubled), the way spreadsheets read TAB text; and the
// same rows as an HTML table, which spreadsheets and word processors prefer when it is there.
#pragma once

#include <string>
#include <string_view>

namespace pc {

class CopiedRows {
  public:
    void beginRow();
    void cell(std::string_view text);
    // Once every row is in: a line each.
    std::string text() const { return anyRow_ ? text_ + "\n" : text_; }
    std::string html() const;

  private:
    std::string text_, html_;
    bool firstCell_ = true;
    bool anyRow_ = false;
};

}  // namespace pc

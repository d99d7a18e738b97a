#include "workbook_export.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <memory>
#include <optional>

#include "category_profile.h"
#include "result_columns.h"
#include "row_format.h"

namespace pc {

namespace {

struct WorkbookCloser {
    void operator()(lxw_workbook* w) const { workbook_close(w); }
};

// "yyyy-mm-dd hh:mm:ss" (or its day alone), as the store shows dates; nothing for other texts.
std::optional<lxw_datetime> dateOf(std::string_view text) {
    auto digits = [&](std::size_t at, std::size_t n) -> std::optional<int> {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) {
            if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    if (text.size() != 10 && text.size() != 19) return std::nullopt;
    const auto y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
    if (!y || !m || !d || text[4] != '-' || text[7] != '-') return std::nullopt;
    lxw_datetime when{*y, *m, *d, 0, 0, 0.0};
    if (text.size() == 19) {
        const auto h = digits(11, 2), mi = digits(14, 2), s = digits(17, 2);
        if (!h || !mi || !s) return std::nullopt;
        when.hour = *h;
        when.min = *mi;
        when.sec = *s;
    }
    if (when.year < 1900 || when.month < 1 || when.month > 12 || when.day < 1 || when.day > 31)
        return std::nullopt;
    return when;
}

// The characters a spreadsheet cell holds.
constexpr std::size_t kCellCharacters = 32767;

// Bytes of the first `characters` characters of UTF-8 `text`.
std::size_t utf8Prefix(std::string_view text, std::size_t characters) {
    std::size_t at = 0;
    for (std::size_t n = 0; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && n++ == characters) break;
    return at;
}

class Workbook {
  public:
    Workbook(const std::string& path, const std::function<void()>& pump, std::uint32_t sheetRows)
        : path_(path), pump_(pump), sheetRows_(sheetRows) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
        book_.reset(workbook_new_opt(path.c_str(), &options));
        if (!book_) throw ExportError("Cannot create file \"" + path + "\"", path, errno);
        heading_ = workbook_add_format(book_.get());
        format_set_bold(heading_);
        format_set_bg_color(heading_, 0xEEEEEE);
        // A live row's text cells take the default format: the library looks a cell's format
        // up by hashing it, a quarter of the workbook's time when every cell had one.
        text_[1] = workbook_add_format(book_.get());
        format_set_bg_color(text_[1], 0xFDE8E8);
        for (int deleted = 0; deleted < 2; ++deleted) {
            date_[deleted] = workbook_add_format(book_.get());
            format_set_num_format(date_[deleted], "yyyy-mm-dd hh:mm:ss");
        }
        format_set_bg_color(date_[1], 0xFDE8E8);
    }

    void category(CategoryCode code, const std::vector<std::uint32_t>& rows,
                  const ResultStore& store) {
        const CategoryProfile& p = profileOf(code);
        lxw_worksheet* sheet = nullptr;
        std::uint32_t row = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (pump_ && i % 4096 == 4095) pump_();
            if (!sheet || row > sheetRows_) {
                sheet = newSheet(code, i / sheetRows_);
                row = 1;
            }
            const bool deleted = store.stateAt(code, rows[i]) == RecordState::Deleted;
            const RowCells cells = store.rowCells(code, rows[i]);
            lxw_col_t col = 0;
            for (std::size_t c = 0; c < cells.size; ++c, ++col) {
                const std::string_view text = cells.cells[c];
                auto when = static_cast<int>(c) == p.searchDateCell ? dateOf(text) : std::nullopt;
                if (when)
                    check(worksheet_write_datetime(sheet, row, col, &*when, date_[deleted]));
                else
                    put(sheet, row, col, text, text_[deleted]);
            }
            const Provenance found = store.foundAt(code, rows[i]);
            put(sheet, row, col++, store.partPath(code, store.partOf(code, rows[i])),
                text_[deleted]);
            put(sheet, row, col++, sourceKey(found.source), text_[deleted]);
            put(sheet, row, col, std::to_string(found.offset), text_[deleted]);
            ++row;
            ++written_;
        }
    }

    WrittenFile close() {
        const lxw_error error = workbook_close(book_.release());
        if (error != LXW_NO_ERROR)
            throw ExportError("Cannot write file \"" + path_ + "\". " + lxw_strerror(error), path_,
                              errno);
        return {path_, written_};
    }

  private:
    lxw_worksheet* newSheet(CategoryCode code, std::size_t part) {
        std::string name = profileOf(code).branch;
        if (part > 0) name += " (" + std::to_string(part + 1) + ")";
        lxw_worksheet* sheet = workbook_add_worksheet(book_.get(), name.c_str());
        if (!sheet) throw ExportError("Cannot write file \"" + path_ + "\"", path_, 0);
        lxw_col_t col = 0;
        const std::size_t cells = profileOf(code).cellText.size();
        for (std::size_t c = 0; c < cells; ++c, ++col) {
            const ResultColumn& column = ResultColumns(code).at(c);
            put(sheet, 0, col, column.heading, heading_);
            worksheet_set_column(sheet, col, col, column.width / 7.0, nullptr);
        }
        for (const char* heading : {"文件", "来源", "偏移"})
            put(sheet, 0, col++, heading, heading_);
        worksheet_freeze_panes(sheet, 1, 0);
        return sheet;
    }
    void put(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, std::string_view text,
             lxw_format* format) {
        scratch_.assign(text);
        // A cell holds at most kCellCharacters: a longer text keeps its beginning there (every
        // other format holds it whole).
        if (scratch_.size() > kCellCharacters)
            scratch_.resize(utf8Prefix(scratch_, kCellCharacters));
        check(worksheet_write_string(sheet, row, col, scratch_.c_str(), format));
    }
    void check(lxw_error error) {
        if (error != LXW_NO_ERROR)
            throw ExportError("Cannot write file \"" + path_ + "\". " + lxw_strerror(error), path_,
                              0);
    }

    std::string path_;
    const std::function<void()>& pump_;
    std::uint32_t sheetRows_;
    std::unique_ptr<lxw_workbook, WorkbookCloser> book_;
    lxw_format* heading_ = nullptr;
    lxw_format* text_[2] = {};
    lxw_format* date_[2] = {};
    std::string scratch_;
    std::uint64_t written_ = 0;
};

}  // namespace

WrittenFile writeWorkbook(const std::string& path, const ExportRequest& request,
                          const ResultStore& store, const std::function<void()>& pump,
                          std::uint32_t sheetRows) {
    Workbook book(path, pump, sheetRows);
    for (const CategoryCode code : request.queue) {
        std::vector<std::uint32_t> rows;
        if (request.chosen) {
            const auto chosen = request.chosen->find(code);
            if (chosen != request.chosen->end()) rows = chosen->second;
        } else {
            rows = store.rowsMatching({code, RowFilter::All});
        }
        book.category(code, rows, store);
    }
    return book.close();
}

}  // namespace pc

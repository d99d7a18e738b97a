#include "row_details.h"

#include "category_profile.h"
#include "recovered_rows_output.h"
#include "result_columns.h"

namespace pc {

namespace {

std::string sourceName(SourceFile source) {
    switch (source) {
        case SourceFile::Main: return "数据库文件";
        case SourceFile::Wal: return std::string("日志文件 (") + sideSuffix(source) + ")";
        case SourceFile::Journal: break;
    }
    return std::string("回滚日志 (") + sideSuffix(source) + ")";
}

// The cell of the number a message or call was with; -1 for contacts.
int numberCell(CategoryCode code) {
    return code == CategoryCode::Contacts ? -1 : 0;
}

bool isMessageText(CategoryCode code, std::size_t cell) {
    const CategoryProfile& p = profileOf(code);
    return p.longText >= 0 && static_cast<int>(cell) == p.textCell;
}

}  // namespace

std::string rowDetails(const ResultStore& store, CategoryCode code, std::uint32_t index,
                       const ContactNames* names, const std::string& file) {
    const RowCells row = store.rowCells(code, index);
    const auto& columns = ResultColumns(code);
    std::string out;
    std::string body;
    for (std::size_t i = 0; i < row.size && i < columns.size(); ++i) {
        // The message text goes last, whole.
        if (isMessageText(code, i)) {
            body = row.cells[i];
            continue;
        }
        out += std::string(columns[i].heading) + ": " + std::string(row.cells[i]) + "\n";
        if (static_cast<int>(i) == numberCell(code) && names) {
            const std::string_view name = names->nameOf(row.cells[i]);
            if (!name.empty()) out += "联系人: " + std::string(name) + "\n";
        }
    }
    const Provenance found = store.foundAt(code, index);
    out += "位置: " + sourceName(found.source) + " " + file;
    out += sideSuffix(found.source);
    out += ", 偏移 " + std::to_string(found.offset) + "\n";
    if (found.markedDeleted) out += "说明: 仍在数据库中，由应用标记为已删除 (deleted = 1)\n";
    if (profileOf(code).longText >= 0) out += "\n" + body;
    return out;
}

std::string tableRowDetails(const RecoveredRowStore& store, std::uint32_t index,
                            const std::string& file) {
    std::vector<ValueView> values;
    const RecoveredRowView row = store.row(index, values);
    const TableShape& table = store.table(row.table);
    std::string out;
    for (std::size_t c = 0; c < table.columns.size() && c < row.values.size(); ++c)
        out += table.columns[c].name + ": " + valueText(row.values[c]) + "\n";
    out += std::string("状态: ") + stateText(row.state) + "\n";
    out += "位置: " + sourceName(row.source) + " " + file + sideSuffix(row.source) + ", 偏移 " +
           std::to_string(row.offset) + "\n";
    if (row.unreached)
        out += "说明: 未被引用的页：数据库的结构不再指向这一页，行仍完整地在页中，按正常列出\n";
    return out;
}

CopiedRows copiedRows(const ResultStore& store, CategoryCode code,
                      const std::vector<std::uint32_t>& rows) {
    CopiedRows out;
    for (std::uint32_t r : rows) {
        out.beginRow();
        for (std::string_view cell : store.rowCells(code, r))
            out.cell(cell);
    }
    return out;
}

}  // namespace pc

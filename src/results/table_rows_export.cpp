#include "table_rows_export.h"

#include <filesystem>
#include <map>

#include "recovered_rows_output.h"

namespace pc {

std::string tableRowsTarget(OutputFormat format, const std::string& folder) {
    return joinPath(folder, format == OutputFormat::Jsonl ? "其它表.jsonl" : "其它表");
}

namespace {

template <typename Each>
void forChosen(const RecoveredRowStore& store, const std::vector<std::uint32_t>* chosen,
               const std::function<void()>& pump, Each each) {
    std::vector<ValueView> values;
    const auto n = chosen ? chosen->size() : store.rowCount();
    for (std::size_t i = 0; i < n; ++i) {
        if (pump && i % 4096 == 4095) pump();
        each(store.row(chosen ? (*chosen)[i] : static_cast<std::uint32_t>(i), values));
    }
}

std::vector<WrittenFile> jsonLines(const RecoveredRowStore& store,
                                   const std::vector<std::uint32_t>* chosen,
                                   const std::string& path, const std::function<void()>& pump) {
    StreamedFile file(path);
    std::string out;
    std::uint64_t rows = 0;
    forChosen(store, chosen, pump, [&](const RecoveredRowView& row) {
        appendRecoveredJson(out, store.table(row.table), row);
        ++rows;
        if (out.size() >= (1u << 20)) {
            file.write(out);
            out.clear();
        }
    });
    if (rows == 0) return {};
    file.write(out);
    file.commit();
    return {{path, rows}};
}

std::vector<WrittenFile> csvFiles(const RecoveredRowStore& store,
                                  const std::vector<std::uint32_t>* chosen,
                                  const std::string& folder, bool forSpreadsheets,
                                  const std::function<void()>& pump) {
    std::map<std::size_t, std::uint64_t> rowsOf;  // by table, of those with rows
    forChosen(store, chosen, {}, [&](const RecoveredRowView& row) { ++rowsOf[row.table]; });
    if (rowsOf.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw ExportError("Cannot create folder \"" + folder + "\"", folder, ec.value());
    const auto writer = csvTablesWriter(folder, forSpreadsheets);
    for (std::size_t t = 0; t < store.tableCount(); ++t)
        writer->table(t, store.table(t));
    forChosen(store, chosen, pump, [&](const RecoveredRowView& row) { writer->row(row); });
    writer->finish();
    // The writer names its files in the tables' order.
    std::vector<WrittenFile> written;
    auto count = rowsOf.begin();
    for (const std::string& path : writer->written())
        written.push_back({path, (count++)->second});
    return written;
}

}  // namespace

std::vector<WrittenFile> exportTableRows(const RecoveredRowStore& store,
                                         const std::vector<std::uint32_t>* chosen,
                                         OutputFormat format, const std::string& folder,
                                         const std::function<void()>& pump) {
    const std::string target = tableRowsTarget(format, folder);
    return format == OutputFormat::Jsonl
               ? jsonLines(store, chosen, target, pump)
               : csvFiles(store, chosen, target, format == OutputFormat::SpreadsheetCsv, pump);
}

}  // namespace pc

#include "row_format.h"

#include <cstdio>
#include <string_view>

#include "text_export.h"

namespace pc {

namespace {

std::string csvField(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

void appendJsonString(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

std::string jsonRow(const ResultStore& store, CategoryCode code, std::uint32_t index) {
    const RecordState state = store.stateAt(code, index);
    std::string out = "{\"category\":\"";
    out += categoryKey(code);
    out += "\",\"state\":\"";
    out += state == RecordState::Deleted ? "deleted" : "normal";
    const Provenance found = store.foundAt(code, index);
    out += "\",\"source\":\"";
    out += sourceKey(found.source);
    out += "\",\"offset\":" + std::to_string(found.offset);
    const auto& names = rowFieldNames(code);
    const RowCells row = store.rowCells(code, index);
    for (std::size_t i = 0; i < row.size; ++i) {
        const std::string_view name = names[i];
        if (name == "state") continue;
        out += ",\"";
        out += name;
        out += "\":";
        if (row.isNull(i))
            out += "null";
        else
            appendJsonString(out, row.cells[i]);
    }
    return out + "}\n";
}

// Fields that TAB, LF, CR and backslash inside them cannot break apart: a line per row for grep
// and cut.
void appendTsvField(std::string& out, std::string_view field) {
    for (char c : field) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
}

}  // namespace

const char* sourceKey(SourceFile source) {
    switch (source) {
        case SourceFile::Main: return "main";
        case SourceFile::Wal: return "wal";
        case SourceFile::Journal: return "journal";
    }
    return "";
}

const char* categoryKey(CategoryCode code) {
    switch (code) {
        case CategoryCode::Contacts: return "contacts";
        case CategoryCode::Sms: return "sms";
        case CategoryCode::CallLog: return "calls";
    }
    return "";
}

std::string formatRow(OutputFormat format, const ResultStore& store, CategoryCode code,
                      std::uint32_t index) {
    switch (format) {
        case OutputFormat::Jsonl: return jsonRow(store, code, index);
        case OutputFormat::Tsv:
        case OutputFormat::Csv: break;
    }
    const RowCells row = store.rowCells(code, index);
    std::string line;
    for (std::size_t i = 0; i < row.size; ++i) {
        if (format == OutputFormat::Tsv) {
            if (i) line += '\t';
            appendTsvField(line, row.cells[i]);
        } else {
            if (i) line += ',';
            if (!row.isNull(i)) line += csvField(row.cells[i]);
        }
    }
    if (format == OutputFormat::Csv) {
        const Provenance found = store.foundAt(code, index);
        line += ',';
        line += sourceKey(found.source);
        line += ',' + std::to_string(found.offset);
    }
    return line + (format == OutputFormat::Tsv ? "\n" : "\r\n");
}

std::string headerLine(OutputFormat format, CategoryCode code) {
    if (format != OutputFormat::Csv) return {};
    std::string line;
    for (const char* name : rowFieldNames(code)) {
        if (!line.empty()) line += ',';
        line += name;
    }
    return line + ",source,offset\r\n";
}

std::string outputFileName(OutputFormat format, CategoryCode code) {
    std::string name = exportFileName(code);
    if (format == OutputFormat::Tsv) return name;
    name.resize(name.size() - 4);  // ".txt"
    return name + (format == OutputFormat::Csv ? ".csv" : ".jsonl");
}

}  // namespace pc

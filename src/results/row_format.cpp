#include "row_format.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "category_profile.h"
#include "text_export.h"

namespace pc {

namespace {

// Whether any byte of `w` is below `n` (n <= 128), or equal to `a` or `b`: a word of eight bytes
// that holds none of them is copied without looking at its bytes one by one.
constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
constexpr bool mayHold(std::uint64_t w, std::uint8_t n, std::uint8_t a, std::uint8_t b) {
    auto zeroByte = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
    return (((w - kOnes * n) & ~w & kHighs) | zeroByte(w ^ (kOnes * a)) |
            zeroByte(w ^ (kOnes * b))) != 0;
}

// Fields are copied in runs between the bytes that need escaping, found through a table, eight
// bytes at a time where `clean` clears a whole word: rows of whole databases go through here.
template <typename Clean, typename Escape>
void appendEscaped(std::string& out, std::string_view field, const std::array<bool, 256>& special,
                   Clean clean, Escape escape) {
    std::size_t run = 0;
    std::size_t i = 0;
    while (i < field.size()) {
        if (field.size() - i >= 8) {
            std::uint64_t w;
            std::memcpy(&w, field.data() + i, 8);
            if (clean(w)) {
                i += 8;
                continue;
            }
        }
        const std::size_t wordEnd = std::min(field.size(), i + 8);
        for (; i < wordEnd; ++i) {
            if (!special[static_cast<unsigned char>(field[i])]) continue;
            out.append(field.data() + run, i - run);
            escape(out, field[i]);
            run = i + 1;
        }
    }
    out.append(field.data() + run, field.size() - run);
}

template <typename F>
std::array<bool, 256> byteTable(F f) {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[static_cast<std::size_t>(c)] = f(static_cast<char>(c));
    return t;
}

void csvField(std::string& out, std::string_view field) {
    static const auto special = byteTable([](char c) { return c == '"'; });
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    appendEscaped(
        out, field, special, [](std::uint64_t w) { return !mayHold(w, 0, '"', '"'); },
        [](std::string& o, char) { o += "\"\""; });
    out += '"';
}

void jsonString(std::string& out, std::string_view s) {
    static const auto special = byteTable(
        [](char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; });
    out += '"';
    auto clean = [](std::uint64_t w) { return !mayHold(w, 0x20, '"', '\\'); };
    appendEscaped(out, s, special, clean, [](std::string& o, char c) {
        switch (c) {
            case '"': o += "\\\""; break;
            case '\\': o += "\\\\"; break;
            case '\n': o += "\\n"; break;
            case '\r': o += "\\r"; break;
            case '\t': o += "\\t"; break;
            default: {
                static constexpr char hex[] = "0123456789abcdef";
                o += "\\u00";
                o += hex[(c >> 4) & 0xF];
                o += hex[c & 0xF];
            }
        }
    });
    out += '"';
}

void appendNumber(std::string& out, std::uint64_t v) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        out += digits[--n];
}

void appendJsonRow(std::string& out, const ResultStore& store, CategoryCode code,
                   std::uint32_t index) {
    const RowCells row = store.rowCells(code, index);
    const Provenance found = store.foundAt(code, index);
    out += "{\"category\":\"";
    out += profileOf(code).key;
    out += "\",\"state\":\"";
    out += store.stateAt(code, index) == RecordState::Deleted ? "deleted" : "normal";
    out += "\",\"source\":\"";
    out += sourceKey(found.source);
    out += "\",\"offset\":";
    appendNumber(out, found.offset);
    const auto& names = profileOf(code).fields;
    for (std::size_t i = 0; i < row.size; ++i) {
        const std::string_view name = names[i];
        if (name == "state") continue;
        out += ",\"";
        out += name;
        out += "\":";
        if (row.isNull(i))
            out += "null";
        else
            jsonString(out, row.cells[i]);
    }
    out += "}\n";
}

// Fields that TAB, LF, CR and backslash inside them cannot break apart: a line per row for grep
// and cut.
void appendTsvField(std::string& out, std::string_view field) {
    static const auto special =
        byteTable([](char c) { return c == '\t' || c == '\n' || c == '\r' || c == '\\'; });
    // Bytes below 0x0E stand for TAB, LF and CR: the word is then looked at byte by byte.
    auto clean = [](std::uint64_t w) { return !mayHold(w, 0x0E, '\\', '\\'); };
    appendEscaped(out, field, special, clean, [](std::string& o, char c) {
        o += '\\';
        o += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\';
    });
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
    jsonString(out, text);
}

void appendCsvField(std::string& out, std::string_view field) {
    csvField(out, field);
}

const char* sourceKey(SourceFile source) {
    switch (source) {
        case SourceFile::Main: return "main";
        case SourceFile::Wal: return "wal";
        case SourceFile::Journal: return "journal";
    }
    return "";
}

void appendRow(std::string& out, OutputFormat format, const ResultStore& store, CategoryCode code,
               std::uint32_t index) {
    if (format == OutputFormat::Jsonl) {
        appendJsonRow(out, store, code, index);
        return;
    }
    const RowCells row = store.rowCells(code, index);
    for (std::size_t i = 0; i < row.size; ++i) {
        if (format == OutputFormat::Tsv) {
            if (i) out += '\t';
            appendTsvField(out, row.cells[i]);
        } else {
            if (i) out += ',';
            if (!row.isNull(i)) csvField(out, row.cells[i]);
        }
    }
    if (isCsv(format)) {
        const Provenance found = store.foundAt(code, index);
        out += ',';
        out += sourceKey(found.source);
        out += ',';
        appendNumber(out, found.offset);
    }
    out += format == OutputFormat::Tsv ? "\n" : "\r\n";
}

std::string formatRow(OutputFormat format, const ResultStore& store, CategoryCode code,
                      std::uint32_t index) {
    std::string line;
    appendRow(line, format, store, code, index);
    return line;
}

std::string headerLine(OutputFormat format, CategoryCode code) {
    if (!isCsv(format)) return {};
    const CategoryProfile& p = profileOf(code);
    const bool spreadsheet = format == OutputFormat::SpreadsheetCsv;
    std::string line = spreadsheet ? kUtf8Bom : "";
    for (std::size_t i = 0; i < p.fields.size(); ++i) {
        if (i) line += ',';
        line += spreadsheet ? p.columns.at(i).heading : p.fields[i];
    }
    return line + (spreadsheet ? ",来源,偏移\r\n" : ",source,offset\r\n");
}

std::string outputFileName(OutputFormat format, CategoryCode code) {
    std::string name = profileOf(code).exportFile;
    if (format == OutputFormat::Tsv) return name;
    name.resize(name.size() - 4);  // ".txt"
    return name + (isCsv(format) ? ".csv" : ".jsonl");
}

}  // namespace pc

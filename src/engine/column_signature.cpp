#include "column_signature.h"

#include <algorithm>

#include "ascii_case.h"

namespace pc {

namespace {

// Blanks and control characters, as a trim of the column items sees them.
bool isTrimmed(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isTrimmed(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isTrimmed(s.back()))
        s.remove_suffix(1);
    return s;
}

// The word before the first blank of `text` and the word after it.
std::pair<std::string_view, std::string_view> firstTwoWords(std::string_view text) {
    const auto blank = text.find(' ');
    if (blank == std::string_view::npos) return {text, text};
    std::string_view rest = text.substr(blank + 1);
    return {text.substr(0, blank), rest.substr(0, rest.find(' '))};
}

std::string columnTextOf(std::string_view sql, SignatureParams::Tail tail) {
    if (sql.empty()) return {};
    const auto open = sql.find('(');
    std::string text(
        open == std::string_view::npos
            ? sql.substr(0, sql.size() - 1)
            : sql.substr(open + 1, sql.size() - 1 - std::min(open + 1, sql.size() - 1)));
    switch (tail) {
        case SignatureParams::Tail::AppendBlank:
            if (text.empty() || text.back() != ' ') text += ' ';
            break;
        case SignatureParams::Tail::DropOneMore:
            if (!text.empty()) text.pop_back();
            break;
        case SignatureParams::Tail::Keep: break;
    }
    return text;
}

std::vector<std::string_view> splitItems(std::string_view text) {
    std::vector<std::string_view> items;
    for (;;) {
        const auto comma = text.find(',');
        items.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) return items;
        text.remove_prefix(comma + 1);
    }
}

}  // namespace

ColumnSignature buildSignature(std::string_view sql, const SignatureParams& params) {
    ColumnSignature sig;
    sig.columnCount = static_cast<std::uint32_t>(std::count(sql.begin(), sql.end(), ',') + 1);
    sig.columnText = columnTextOf(sql, params.tail);
    sig.columns.resize(sig.columnCount);
    sig.wantedIndex.assign(params.wanted.size(), 0);

    const auto items = splitItems(sig.columnText);
    for (std::uint32_t i = 0; i < sig.columnCount; ++i) {
        // More items than the column text holds (a comma before the list): the last one repeats.
        const std::string_view item = trim(items[std::min<std::size_t>(i, items.size() - 1)]);
        const auto [name, declared] = firstTwoWords(item);
        PTableField& f = sig.columns[i];
        f.name = std::string(name);
        const std::string declaredLower = asciiLower(declared);
        if (declaredLower.find("integer") != std::string::npos) {
            f.typeCode = "i", f.maxSerialType = 9;
        } else if (declaredLower.find("text") != std::string::npos) {
            f.typeCode = "c", f.maxSerialType = 13;
        } else {
            f.maxSerialType = 0;
        }
        const std::string nameLower = asciiLower(name);
        f.required = params.required(asciiLower(item), nameLower) ? 1 : 0;
        for (std::size_t w = 0; w < params.wanted.size(); ++w)
            if (nameLower == params.wanted[w]) sig.wantedIndex[w] = i;
    }
    return sig;
}

std::string signatureText(const ColumnSignature& sig) {
    std::string out = "SQLite*";
    out += std::to_string(sig.columnCount);
    out += '*';
    out += std::to_string(sig.columnCount - 1);
    out += "*1*";
    for (std::uint32_t i = 1; i < sig.columnCount; ++i) {
        const PTableField& f = sig.columns[i];
        if (i > 1) out += '|';
        out += f.typeCode;
        out += ':';
        out += std::to_string(f.maxSerialType);
        out += ':';
        out += std::to_string(f.required);
    }
    out += '*';
    for (std::uint32_t w : sig.wantedIndex) {
        out += std::to_string(w);
        out += '*';
    }
    out += sig.columnText;
    return out;
}

}  // namespace pc

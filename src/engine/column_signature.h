// A table's record shape, taken from its CREATE TABLE text: for each comma-separated item of the
// column list, which serial types its header byte may hold. Every comma counts, so a comma in a
// DEFAULT value or a table constraint adds an item; the signature describes items, not columns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pc {

struct PTableField {
    std::string name;             // first word of the item
    std::string typeCode;         // "i" integer, "c" text, empty otherwise
    std::uint32_t maxSerialType;  // 9 for "i", 13 for "c", 0 otherwise
    std::uint8_t required;        // 1: the column must hold a value
};

using ATableField = std::vector<PTableField>;

// What differs between the scanned tables.
struct SignatureParams {
    enum class Tail { AppendBlank, DropOneMore, Keep };

    std::string table;
    Tail tail;
    // Decides `required` from the lower-cased item text and the lower-cased name.
    std::function<bool(std::string_view itemLower, std::string_view nameLower)> required;
    std::vector<std::string> wanted;  // lower-case names whose item positions the scanner needs
};

struct ColumnSignature {
    std::uint32_t columnCount = 0;           // N: commas in the definition + 1
    std::uint32_t firstColumn = 1;           // column 0 is the integer primary key, stored as NULL
    ATableField columns;                     // N rules; entry 0 is never used by the carver
    std::vector<std::uint32_t> wantedIndex;  // one per wanted name; 0 when no item has that name
    std::string columnText;                  // the definition between its parentheses, tail applied
};

// Builds the signature from a non-empty CREATE TABLE text.
ColumnSignature buildSignature(std::string_view sql, const SignatureParams& params);

// The signature in its one-line text form, "SQLite*N*N-1*1*rules*wanted...*columnText".
std::string signatureText(const ColumnSignature& sig);

}  // namespace pc

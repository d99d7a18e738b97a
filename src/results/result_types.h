// What a scan finds, per category, in the order found. Texts are UTF-8 here; GB18030 is made at
// the file boundary (export) and for the report list's byte-wise sort. The fields are views: a
// record handed to the store may view anything, the store keeps its own copy of the texts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "record_state.h"
#include "source_file.h"

namespace pc {

// The last three are stores whose messages join several tables: MMS (mmssms.db's pdu, part and
// addr), Google Messages (bugle_db), WhatsApp (msgstore.db, names from wa.db).
enum class CategoryCode : std::uint8_t {
    Contacts = 0,
    Sms = 1,
    CallLog = 2,
    Mms = 3,
    GoogleMessages = 4,
    WhatsApp = 5,
};
// Every category, in the order a run scans them; everything kept per category is sized by it.
inline constexpr CategoryCode kAllCategories[] = {
    CategoryCode::Contacts,       CategoryCode::Sms,     CategoryCode::CallLog, CategoryCode::Mms,
    CategoryCode::GoogleMessages, CategoryCode::WhatsApp};
inline constexpr std::size_t kCategoryCount = std::size(kAllCategories);
// Something for each category, by its code.
template <typename T>
using PerCategory = std::array<T, kCategoryCount>;
constexpr std::size_t index(CategoryCode code) {
    return static_cast<std::size_t>(code);
}

enum class RowFilter : std::uint8_t { Normal = 0, Deleted = 1, All = 2 };

// A category's part: the rows of one of its databases, where a run read several of a kind.
using PartIndex = std::uint16_t;
inline constexpr PartIndex kWholeCategory = 0xFFFF;

struct CategoryTag {
    CategoryCode code;
    RowFilter filter;
    PartIndex part = kWholeCategory;
    bool operator==(const CategoryTag&) const = default;
};

// Where a row was found: the file and the offset of its record there (for a contact, its phone
// row's): the header-size byte of a live cell, the first byte the carver matched otherwise.
struct Provenance {
    std::uint64_t offset = 0;
    SourceFile source = SourceFile::Main;
    // A live row its app marked deleted (a vendor's `deleted` column holding 1): listed deleted.
    bool markedDeleted = false;
};

// Which cells of a row (by their place in the row, the state word included) hold SQL NULL; their
// text is "NULL" as the files have it.
using NullCells = std::uint8_t;

struct PtelValue {
    std::string_view name;
    std::string_view phone;
    RecordState state;
    Provenance found;
    NullCells nulls;
};

struct PSMSvalue {
    std::string_view address;
    std::string_view date;
    std::string_view type;
    std::string_view body;
    RecordState state;
    Provenance found;
    NullCells nulls;
};

struct PCallValue {
    std::string_view name;
    std::string_view number;
    std::string_view type;
    std::string_view duration;
    std::string_view date;
    RecordState state;
    Provenance found;
    NullCells nulls;
};

// A message of a store that joins several tables. MMS: `chat` the other party's numbers (the
// sender's, or the recipients'), `sender` the sender's number; Google Messages and WhatsApp: the
// conversation and who wrote it (name and number where known). `body`: the texts in order, then
// the attachments named.
struct PMessageValue {
    CategoryCode code;
    std::string_view chat;
    std::string_view sender;
    std::string_view date;
    std::string_view type;
    std::string_view body;
    RecordState state;
    Provenance found;
    NullCells nulls;
};

inline const char* stateText(RecordState s) {
    return s == RecordState::Deleted ? "删除" : "正常";
}

}  // namespace pc

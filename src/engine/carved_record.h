// One record as the scanners read it: a live cell of the table, or a record the carver found in
// unused space. A view of bytes it does not own, and of a layout it does not own: it lives only as
// long as the call that hands it over.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "MyFuns_.h"
#include "database_pages.h"
#include "record_layout.h"
#include "record_state.h"

namespace pc {

// A field as the scanners check it: missing ("NULL" or empty), a decimal integer, or other text.
struct FieldNumber {
    enum class Kind { Missing, Number, Other } kind;
    std::int64_t value;  // for a Number
};

class CarvedRecord {
  public:
    CarvedRecord() = default;
    // A record whose values `layout` places in `bytes`.
    CarvedRecord(std::span<const std::uint8_t> bytes, const RecordLayout& layout)
        : bytes_(bytes), layout_(&layout) {}

    // The file offset of the record: its header-size byte for a live cell, the first byte the
    // carver matched (column 1's serial type) for a carved record.
    std::uint64_t position() const { return position_; }
    SourceFile source() const { return source_; }
    RecordState state() const { return state_; }
    // Header bytes the carver read for columns 1..N-1.
    std::uint32_t headerLength() const { return headerLength_; }
    std::optional<std::int64_t> rowid() const { return rowid_; }

    std::uint32_t columnCount() const { return layout_->columns; }
    // Columns the record does not hold (added to the table after it was written) read as NULL.
    std::uint64_t serialType(std::uint32_t column) const {
        return column < layout_->columns ? layout_->serialTypes[column] : 0;
    }
    // The bytes of a column's value; empty when they are not all in the record's bytes (a carved
    // record whose value lies on an overflow page it did not take).
    std::span<const std::uint8_t> body(std::uint32_t column) const;
    bool isText(std::uint32_t column) const {
        const std::uint64_t t = serialType(column);
        return t >= 13 && (t & 1);
    }

    // The field text of a column; column 0 (the primary key, or a wanted column the table lacks)
    // gives "". A text is a view of the record; a number or "NULL" is placed in `buffer`.
    std::string_view field(std::uint32_t column, FieldBuffer& buffer) const;
    std::string text(std::uint32_t column) const {
        FieldBuffer buffer;
        return std::string(field(column, buffer));
    }
    // Whether the field is SQL NULL (never for column 0).
    bool isNull(std::uint32_t column) const { return column != 0 && serialType(column) == 0; }
    // What the field's text says as a number, without making the text of an integer first.
    FieldNumber number(std::uint32_t column) const;

    void setPlace(SourceFile source, std::uint64_t position) {
        source_ = source;
        position_ = position;
    }
    void setState(RecordState state) { state_ = state; }
    void setHeaderLength(std::uint32_t n) { headerLength_ = n; }
    void setRowid(std::optional<std::int64_t> rowid) { rowid_ = rowid; }
    std::span<const std::uint8_t> bytes() const { return bytes_; }
    const RecordLayout& layout() const { return *layout_; }

  private:
    std::optional<std::span<const std::uint8_t>> wholeBody(std::uint32_t column) const;

    std::span<const std::uint8_t> bytes_;
    const RecordLayout* layout_ = nullptr;
    std::uint64_t position_ = 0;
    std::optional<std::int64_t> rowid_;
    std::uint32_t headerLength_ = 0;
    SourceFile source_ = SourceFile::Main;
    RecordState state_ = RecordState::Normal;
};

}  // namespace pc

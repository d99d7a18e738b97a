#include "record_carver.h"

#include <algorithm>

#include "MyFuns_.h"
#include "byte_order.h"

namespace pc {

namespace {

// Pages the carver has passed are handed back to the system every so often, so that a file of
// many gigabytes is scanned in little resident memory.
constexpr std::uint64_t kReleaseStride = 64u << 20;

// Header bytes a record may take beyond one per column; longer headers are not looked for.
constexpr unsigned kMaxExtraHeaderBytes = 4;

constexpr std::uint8_t kTableLeafPage = 0x0D;

}  // namespace

std::string CarvedRecord::text(std::uint32_t column) const {
    if (column == 0 || column >= serialTypes_->size()) return {};
    const std::uint64_t t = (*serialTypes_)[column];
    const std::uint64_t at = (*bodyOffsets_)[column];
    return FieldValueText(t, image_->bytes().subspan(at, *serialBodySize(t)));
}

RecordCarver::RecordCarver(const ColumnSignature& sig, SerialTypeSet refusedRequiredInt)
    : serialTypes_(std::max<std::size_t>(sig.columnCount, 1)),
      bodyOffsets_(std::max<std::size_t>(sig.columnCount, 1)) {
    for (unsigned t = 0; t < 10; ++t) {
        intAllowed_[0][t] = t != 7;
        intAllowed_[1][t] = (refusedRequiredInt & (1u << t)) == 0;
    }
    for (std::uint32_t i = 1; i < sig.columnCount; ++i) {
        const PTableField& f = sig.columns[i];
        if (f.typeCode == "i")
            rules_.push_back(f.required ? Rule::IntRequired : Rule::IntOptional);
        else if (f.typeCode == "c")
            rules_.push_back(Rule::Text);
        else
            rules_.push_back(Rule::Untyped);
    }
    if (rules_.empty()) return;  // a record without columns to test is nothing to look for
    for (unsigned b = 0; b < 256; ++b) {
        switch (rules_[0]) {
            case Rule::IntRequired:
                firstByteMayFit_[b] = b < 10 && intAllowed_[1][b];
                break;
            case Rule::IntOptional:
                firstByteMayFit_[b] = b < 10 && intAllowed_[0][b];
                break;
            case Rule::Text:
                firstByteMayFit_[b] = b == 0 || (b >= 13 && (b & 1)) || b > 0x80;
                break;
            case Rule::Untyped:
                firstByteMayFit_[b] = b != 0x80 && b != 10 && b != 11;
                break;
        }
    }
}

std::uint32_t RecordCarver::fitHeader(std::span<const std::uint8_t> bytes, std::uint64_t pos,
                                      std::uint32_t pageSize) {
    std::uint64_t at = pos;
    unsigned extra = 0;
    for (std::size_t k = 0; k < rules_.size(); ++k) {
        if (at >= bytes.size()) return 0;
        const Rule rule = rules_[k];
        if (rule == Rule::IntRequired || rule == Rule::IntOptional) {
            const std::uint8_t b = bytes[at];
            if (b > 9 || !intAllowed_[rule == Rule::IntRequired][b]) return 0;
            serialTypes_[k + 1] = b;
            ++at;
            continue;
        }
        const auto v = readVarint(bytes, at, 1 + kMaxExtraHeaderBytes - extra);
        if (!v) return 0;
        if (rule == Rule::Text && v->value != 0 &&
            ((v->value & 1) == 0 || v->value < 13 || v->value > pageSize))
            return 0;
        serialTypes_[k + 1] = v->value;
        extra += v->length - 1;
        at += v->length;
    }
    return static_cast<std::uint32_t>(at - pos);
}

bool RecordCarver::placeBody(std::uint64_t bodyStart, std::uint64_t imageSize) {
    std::uint64_t q = bodyStart;
    for (std::size_t j = 1; j <= rules_.size(); ++j) {
        const auto size = serialBodySize(serialTypes_[j]);
        if (!size || q > imageSize || *size > imageSize - q) return false;
        bodyOffsets_[j] = q;
        q += *size;
    }
    return true;
}

void RecordCarver::loadCellStarts(std::span<const std::uint8_t> page) {
    cellStarts_.clear();
    if (page.empty() || page[0] != kTableLeafPage) return;
    const std::uint32_t cells = readBe16(page, 3).value_or(0);
    for (std::uint32_t i = 0; i < cells; ++i) {
        const auto start = readBe16(page, 8 + 2 * static_cast<std::uint64_t>(i));
        if (!start) break;  // more cells claimed than the page has room for
        cellStarts_.push_back(*start);
    }
    std::sort(cellStarts_.begin(), cellStarts_.end());
}

RecordState RecordCarver::stateAt(std::uint32_t offsetInPage) const {
    // Normal when a listed cell starts 1..11 bytes before: room for the payload length, row id
    // and header size varints and column 0's serial type.
    const std::uint32_t lowest = offsetInPage > 11 ? offsetInPage - 11 : 0;
    const auto it = std::lower_bound(cellStarts_.begin(), cellStarts_.end(), lowest);
    return it != cellStarts_.end() && *it < offsetInPage ? RecordState::Normal
                                                         : RecordState::Deleted;
}

void RecordCarver::carve(const DatabaseImage& image, CarveVisitor& visitor) {
    const auto bytes = image.bytes();
    const std::uint64_t pageSize = image.pageSize();
    CarvedRecord record;
    record.image_ = &image;
    record.serialTypes_ = &serialTypes_;
    record.bodyOffsets_ = &bodyOffsets_;
    std::uint64_t released = 0;

    for (std::uint32_t page = 1; page < image.pageCount(); ++page) {
        if (!visitor.onPage(page)) return;
        const std::uint64_t pageStart = page * pageSize;
        const std::uint64_t pageEnd = pageStart + pageSize;
        if (pageStart - released >= kReleaseStride) {
            image.releaseBefore(pageStart);
            released = pageStart;
        }
        loadCellStarts(bytes.subspan(pageStart, pageSize));

        // The hot loop: almost every position fails on its first byte, decided by one lookup.
        std::uint64_t pos = pageStart;
        while (pos < pageEnd) {
            if (!firstByteMayFit_[bytes[pos]]) {
                ++pos;
                continue;
            }
            const std::uint32_t headerLength = fitHeader(bytes, pos, image.pageSize());
            if (headerLength == 0 || !placeBody(pos + headerLength, bytes.size())) {
                ++pos;
                continue;
            }
            record.pos_ = pos;
            record.headerLength_ = headerLength;
            record.state_ = stateAt(static_cast<std::uint32_t>(pos - pageStart));
            const CarveStep step = visitor.onRecord(record);
            pos += step == CarveStep::SkipHeader ? headerLength : 1;
        }
    }
}

}  // namespace pc

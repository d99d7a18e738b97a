#include "rollback_journal.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "sqlite_format.h"

namespace pc {

namespace {

using namespace format;
constexpr std::uint32_t kHeaderFields = kJournalHeaderSize;
// Page numbers past this are not a phone database's; a record holding one ends the journal.
constexpr std::uint32_t kMaxPage = 0x7FFFFFFF;

bool validSector(std::uint32_t size) {
    return size >= kMinSectorSize && size <= kMaxSectorSize && (size & (size - 1)) == 0;
}

// SQLite's record checksum: the nonce plus every 200th byte of the page, from its end.
std::uint32_t recordChecksum(std::uint32_t nonce, std::span<const std::uint8_t> page) {
    std::uint32_t sum = nonce;
    for (std::int64_t i = static_cast<std::int64_t>(page.size()) - 200; i > 0; i -= 200)
        sum += page[static_cast<std::size_t>(i)];
    return sum;
}

}  // namespace

std::optional<RollbackJournal> RollbackJournal::read(std::span<const std::uint8_t> bytes,
                                                     std::uint32_t pageSize,
                                                     std::uint32_t pageCount) {
    if (bytes.size() < kHeaderFields) return std::nullopt;
    RollbackJournal journal;
    if (std::memcmp(bytes.data(), kJournalMagic, 8) == 0)
        journal.readSegments(bytes, pageSize);
    else if (std::all_of(bytes.begin(), bytes.begin() + kHeaderFields,
                         [](std::uint8_t b) { return b == 0; }))
        journal.readZeroedHeader(bytes, pageSize, pageCount);
    if (journal.records_.empty()) return std::nullopt;
    return journal;
}

void RollbackJournal::readSegments(std::span<const std::uint8_t> bytes, std::uint32_t pageSize) {
    const std::uint64_t recordSize = kJournalRecordOverhead + std::uint64_t{pageSize};
    std::uint64_t at = 0;
    bool first = true;
    bool intact = true;  // every record SQLite would play back so far passed its checksum
    while (bytes.size() - at >= kHeaderFields &&
           std::memcmp(bytes.data() + at, kJournalMagic, 8) == 0) {
        const std::uint64_t stored = *readBe32(bytes, at + kJournalCountOffset);
        const std::uint32_t nonce = *readBe32(bytes, at + kJournalNonceOffset);
        const std::uint32_t sector = *readBe32(bytes, at + kJournalSectorOffset);
        if (!validSector(sector) || *readBe32(bytes, at + kJournalPageSizeOffset) != pageSize)
            break;
        if (first) initialSize_ = *readBe32(bytes, at + kJournalInitialSizeOffset);
        const std::uint64_t start = at + sector;
        if (start > bytes.size()) break;
        // A count of all ones: the records were not counted, the file's length says. SQLite
        // plays back that many records of a hot journal, and none of a segment counted 0; the
        // first segment's uncounted records are still older images.
        const std::uint64_t fit = (bytes.size() - start) / recordSize;
        const std::uint64_t played = stored == 0xFFFFFFFF ? fit : std::min(stored, fit);
        const std::uint64_t count = stored == 0 && first ? fit : played;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t r = start + i * recordSize;
            const std::uint32_t page = *readBe32(bytes, r);
            if (page == 0 || page > kMaxPage) break;
            const bool ok = recordChecksum(nonce, bytes.subspan(r + 4, pageSize)) ==
                            *readBe32(bytes, r + 4 + pageSize);
            // SQLite's playback ends at the first record whose checksum fails.
            if (i < played) intact = intact && ok;
            const bool playback = i < played && intact;
            hot_ = hot_ || playback;
            records_.push_back({page, r + 4, ok, playback});
        }
        first = false;
        const std::uint64_t end = start + count * recordSize;
        at = (end + sector - 1) / sector * sector;
        if (at >= bytes.size()) break;
    }
}

void RollbackJournal::readZeroedHeader(std::span<const std::uint8_t> bytes, std::uint32_t pageSize,
                                       std::uint32_t pageCount) {
    // The sector size went with the header: the records start at the first boundary that holds
    // a page number, the padding of the header being zeros.
    const std::uint64_t recordSize = kJournalRecordOverhead + std::uint64_t{pageSize};
    for (std::uint64_t sector = kMinSectorSize; sector <= kMaxSectorSize; sector *= 2) {
        if (sector + recordSize > bytes.size()) return;
        const std::uint32_t page = *readBe32(bytes, sector);
        if (page == 0 || page > std::max(pageCount, 1u) * 2) continue;
        for (std::uint64_t r = sector; bytes.size() - r >= recordSize; r += recordSize) {
            const std::uint32_t p = *readBe32(bytes, r);
            if (p == 0 || p > kMaxPage) break;
            records_.push_back({p, r + 4, false, false});
        }
        return;
    }
}

}  // namespace pc

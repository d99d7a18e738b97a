#include "wal_log.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "byte_order.h"
#include "sqlite_format.h"

namespace pc {

namespace {

using format::kWalFrameHeaderSize;
using format::kWalHeaderSize;

// SQLite's running checksum of the log: two 32-bit sums over pairs of words, read in the byte
// order the log's magic names. The hot loop of reading a log: one loop per byte order, words
// loaded whole.
struct Checksum {
    std::uint32_t s0 = 0, s1 = 0;
    bool bigEndian = false;

    void add(std::span<const std::uint8_t> bytes) {
        const std::size_t n = bytes.size() & ~std::size_t{7};
        if (bigEndian)
            run<true>(bytes.data(), n);
        else
            run<false>(bytes.data(), n);
    }
    template <bool Big>
    void run(const std::uint8_t* p, std::size_t n) {
        std::uint32_t a = s0, b = s1;
        for (std::size_t i = 0; i < n; i += 8) {
            std::uint32_t x0, x1;
            std::memcpy(&x0, p + i, 4);
            std::memcpy(&x1, p + i + 4, 4);
            if constexpr (Big != (std::endian::native == std::endian::big)) {
                x0 = __builtin_bswap32(x0);
                x1 = __builtin_bswap32(x1);
            }
            a += x0 + b;
            b += x1 + a;
        }
        s0 = a;
        s1 = b;
    }
    bool matches(std::span<const std::uint8_t> stored) const {
        return *readBe32(stored, 0) == s0 && *readBe32(stored, 4) == s1;
    }
};

}  // namespace

// The log read through `at(offset, length)`, which gives `length` bytes of the file from `offset`
// (valid until the next call), for a file of `size` bytes.
template <typename At>
std::optional<WalLog> WalLog::readWith(std::uint64_t size, std::uint32_t pageSize, At at) {
    if (size < kWalHeaderSize) return std::nullopt;
    const auto head = at(0, kWalHeaderSize);
    const std::uint32_t magic = *readBe32(head, 0);
    if ((magic & ~1u) != format::kWalMagic || *readBe32(head, 4) != format::kWalVersion)
        return std::nullopt;
    if (*readBe32(head, 8) != pageSize) return std::nullopt;
    Checksum sum;
    sum.bigEndian = magic & 1;
    sum.add(head.first(24));
    if (!sum.matches(head.subspan(24, 8))) return std::nullopt;
    const std::uint32_t salt1 = *readBe32(head, 16), salt2 = *readBe32(head, 20);

    WalLog log;
    const std::uint64_t frameSize = kWalFrameHeaderSize + std::uint64_t{pageSize};
    bool inLog = true;
    for (std::uint64_t offset = kWalHeaderSize; size - offset >= frameSize; offset += frameSize) {
        const auto bytes = at(offset, inLog ? frameSize : kWalFrameHeaderSize);
        const auto header = bytes.first(kWalFrameHeaderSize);
        log.slots_.push_back(offset + kWalFrameHeaderSize);
        log.slotPages_.push_back(*readBe32(header, 0));
        if (!inLog) continue;
        const WalFrame frame{*readBe32(header, 0), *readBe32(header, 4),
                             offset + kWalFrameHeaderSize};
        sum.add(header.first(8));
        sum.add(bytes.subspan(kWalFrameHeaderSize, pageSize));
        inLog = frame.page != 0 && *readBe32(header, 8) == salt1 &&
                *readBe32(header, 12) == salt2 && sum.matches(header.subspan(16, 8));
        if (!inLog) continue;
        log.frames_.push_back(frame);
        if (frame.commitSize != 0) {
            log.committed_ = log.frames_.size();
            log.committedSize_ = frame.commitSize;
        }
    }
    return log;
}

std::optional<WalLog> WalLog::read(std::span<const std::uint8_t> bytes, std::uint32_t pageSize) {
    return readWith(bytes.size(), pageSize, [&](std::uint64_t offset, std::size_t length) {
        return bytes.subspan(offset, length);
    });
}

std::optional<WalLog> WalLog::read(const MappedFile& file, std::uint32_t pageSize) {
    // A megabyte of frames at a time into a buffer that stays in the cache, rather than every
    // page of the mapping touched once; where the system cannot read, the mapping.
    constexpr std::size_t kChunk = 1u << 20;
    const auto bytes = file.bytes();
    std::vector<std::uint8_t> buffer;
    std::uint64_t begin = 0;
    bool failed = false;
    return readWith(
        bytes.size(), pageSize,
        [&](std::uint64_t offset, std::size_t length) -> std::span<const std::uint8_t> {
            if (failed) return bytes.subspan(offset, length);
            if (offset < begin || offset + length > begin + buffer.size()) {
                begin = offset;
                buffer.resize(
                    std::min<std::uint64_t>(std::max(kChunk, length), bytes.size() - offset));
                failed = !file.readInto(offset, buffer);
                if (failed) return bytes.subspan(offset, length);
            }
            return std::span<const std::uint8_t>(buffer).subspan(offset - begin, length);
        });
}

}  // namespace pc

#include "wal_log.h"

#include <bit>
#include <cstring>

#include "byte_order.h"

namespace pc {

namespace {

constexpr std::uint32_t kMagic = 0x377F0682;  // | 1: checksums of big-endian words
constexpr std::uint32_t kVersion = 3007000;
constexpr std::uint32_t kHeaderSize = 32;
constexpr std::uint32_t kFrameHeaderSize = 24;

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

std::optional<WalLog> WalLog::read(std::span<const std::uint8_t> bytes, std::uint32_t pageSize) {
    if (bytes.size() < kHeaderSize) return std::nullopt;
    const std::uint32_t magic = *readBe32(bytes, 0);
    if ((magic & ~1u) != kMagic || *readBe32(bytes, 4) != kVersion) return std::nullopt;
    if (*readBe32(bytes, 8) != pageSize) return std::nullopt;
    Checksum sum;
    sum.bigEndian = magic & 1;
    sum.add(bytes.first(24));
    if (!sum.matches(bytes.subspan(24, 8))) return std::nullopt;
    const std::uint32_t salt1 = *readBe32(bytes, 16), salt2 = *readBe32(bytes, 20);

    WalLog log;
    const std::uint64_t frameSize = kFrameHeaderSize + std::uint64_t{pageSize};
    bool inLog = true;
    for (std::uint64_t at = kHeaderSize; bytes.size() - at >= frameSize; at += frameSize) {
        log.slots_.push_back(at + kFrameHeaderSize);
        if (!inLog) continue;
        const auto header = bytes.subspan(at, kFrameHeaderSize);
        const WalFrame frame{*readBe32(header, 0), *readBe32(header, 4), at + kFrameHeaderSize};
        sum.add(header.first(8));
        sum.add(bytes.subspan(frame.offset, pageSize));
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

}  // namespace pc

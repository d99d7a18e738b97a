#include "text_codec.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace pc {

namespace {

// A table-driven automaton over the well-formed sequences of the Unicode standard (table 3-7):
// one lookup for the byte's class and one for the next state, no branch per byte.
enum : std::uint8_t { kAccept = 0, kReject = 1 };

constexpr std::array<std::uint8_t, 256> kByteClass = [] {
    std::array<std::uint8_t, 256> c{};
    for (int b = 0x80; b <= 0x8F; ++b)
        c[b] = 1;
    for (int b = 0x90; b <= 0x9F; ++b)
        c[b] = 2;
    for (int b = 0xA0; b <= 0xBF; ++b)
        c[b] = 3;
    for (int b = 0xC0; b <= 0xC1; ++b)
        c[b] = 4;
    for (int b = 0xC2; b <= 0xDF; ++b)
        c[b] = 5;
    c[0xE0] = 6;
    for (int b = 0xE1; b <= 0xEC; ++b)
        c[b] = 7;
    c[0xED] = 8;
    c[0xEE] = c[0xEF] = 7;
    c[0xF0] = 9;
    for (int b = 0xF1; b <= 0xF3; ++b)
        c[b] = 10;
    c[0xF4] = 11;
    for (int b = 0xF5; b <= 0xFF; ++b)
        c[b] = 4;
    return c;
}();

// States: 0 accept, 1 reject, 2 one more 80..BF, 3 two more, 4 after E0 (A0..BF then one),
// 5 after ED (80..9F then one), 6 three more, 7 after F0 (90..BF then two), 8 after F4 (80..8F
// then two). Columns are the byte classes 0..11.
constexpr std::uint8_t kNext[9][12] = {
    {0, 1, 1, 1, 1, 2, 4, 3, 5, 7, 6, 8},  // accept
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // reject
    {1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1}, {1, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1},
    {1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1}, {1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1},
    {1, 3, 3, 3, 1, 1, 1, 1, 1, 1, 1, 1}, {1, 1, 3, 3, 1, 1, 1, 1, 1, 1, 1, 1},
    {1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
};

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    std::uint8_t state = kAccept;
    while (p < end) {
        if (state == kAccept && end - p >= 8) {  // eight ASCII bytes at a time
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        state = kNext[state][kByteClass[*p++]];
        if (state == kReject) return false;
    }
    return state == kAccept;
}

namespace {

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("no text converter from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string convert(std::string_view in) {
        std::string out;
        out.resize(in.size() * 2 + 8);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::size_t done = 0;
        for (;;) {
            char* dst = out.data() + done;
            std::size_t dstLeft = out.size() - done;
            const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            done = out.size() - dstLeft;
            if (rc != static_cast<std::size_t>(-1)) break;
            if (errno != E2BIG) throw std::runtime_error("text cannot be converted");
            out.resize(out.size() * 2);
        }
        out.resize(done);
        return out;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::string utf8ToGb18030(std::string_view utf8) {
    thread_local Converter conv("GB18030", "UTF-8");
    return conv.convert(utf8);
}

std::string gb18030ToUtf8(std::string_view gb) {
    thread_local Converter conv("UTF-8", "GB18030");
    return conv.convert(gb);
}

}  // namespace pc

#include "text_codec.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace pc {

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

std::size_t utf8WholePrefix(std::string_view bytes) {
    // Back over at most three continuation bytes to the lead byte of the last character.
    std::size_t n = bytes.size();
    for (std::size_t back = 0; back < 4 && back < n; ++back) {
        const auto b = static_cast<std::uint8_t>(bytes[n - 1 - back]);
        if ((b & 0xC0) == 0x80) continue;
        const std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        return length > back + 1 ? n - 1 - back : n;
    }
    return n;
}

namespace {

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string textToUtf8(std::span<const std::uint8_t> text, std::uint32_t encoding) {
    if (encoding != 2 && encoding != 3)
        return std::string(reinterpret_cast<const char*>(text.data()), text.size());
    const bool big = encoding == 3;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        return big ? (text[i] << 8) | text[i + 1] : (text[i + 1] << 8) | text[i];
    };
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    for (; i + 1 < text.size(); i += 2) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < text.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        appendUtf8(out, cp);
    }
    if (i < text.size()) appendUtf8(out, 0xFFFD);
    return out;
}

extern const std::uint32_t kGb18030Bmp[65536];
extern const std::uint32_t kGb18030Beyond[][2];
extern const std::size_t kGb18030BeyondCount;

namespace {

// GB18030's four-byte code of a code point beyond the BMP: counted up from 90 30 81 30, but for
// the few the generated list names.
std::uint32_t gb18030Beyond(std::uint32_t cp) {
    const auto* begin = kGb18030Beyond;
    const auto* end = kGb18030Beyond + kGb18030BeyondCount;
    const auto* at = std::lower_bound(
        begin, end, cp, [](const std::uint32_t(&e)[2], std::uint32_t c) { return e[0] < c; });
    if (at != end && (*at)[0] == cp) return (*at)[1];
    const std::uint32_t n = cp - 0x10000;
    return ((0x90 + n / 12600) << 24) | ((0x30 + n / 1260 % 10) << 16) |
           ((0x81 + n / 10 % 126) << 8) | (0x30 + n % 10);
}

}  // namespace

// Exports and sorts run every text through here: the output is written through a pointer into
// room made once (GB18030 takes at most twice the bytes of UTF-8), never appended a character at
// a time.
void appendGb18030(std::string& out, std::string_view utf8) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto* end = p + utf8.size();
    const std::size_t start = out.size();
    out.resize(start + 2 * utf8.size());
    char* w = out.data() + start;
    auto fail = [] { throw std::runtime_error("text is not UTF-8"); };
    auto more = [&](int n) {  // the continuation bytes of a character, checked
        if (end - p < n) fail();
        for (int i = 0; i < n; ++i)
            if ((p[i] & 0xC0) != 0x80) fail();
    };
    while (p < end) {
        // Runs of ASCII, which GB18030 keeps, a word at a time.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                std::memcpy(w, p, 8);
                w += 8;
                p += 8;
                continue;
            }
        }
        // Runs of Chinese text: three-byte characters with two-byte GBK codes, the common case
        // taken whole before the general decoding below.
        if ((p[0] & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
            (p[2] & 0xC0) == 0x80) {
            const std::uint32_t c = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
            const std::uint32_t code = kGb18030Bmp[c];
            if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF) && code > 0xFF && code <= 0xFFFF) {
                w[0] = static_cast<char>(code >> 8);
                w[1] = static_cast<char>(code);
                w += 2;
                p += 3;
                continue;
            }
        }
        const std::uint8_t b = *p++;
        std::uint32_t cp;
        if (b < 0x80) {
            *w++ = static_cast<char>(b);
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            more(1);
            cp = ((b & 0x1Fu) << 6) | (p[0] & 0x3Fu);
            p += 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more(2);
            cp = ((b & 0x0Fu) << 12) | ((p[0] & 0x3Fu) << 6) | (p[1] & 0x3Fu);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) fail();
            p += 2;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more(3);
            cp = ((b & 0x07u) << 18) | ((p[0] & 0x3Fu) << 12) | ((p[1] & 0x3Fu) << 6) |
                 (p[2] & 0x3Fu);
            if (cp < 0x10000 || cp > 0x10FFFF) fail();
            p += 3;
        } else {
            fail();
            continue;
        }
        const std::uint32_t code = cp < 0x10000 ? kGb18030Bmp[cp] : gb18030Beyond(cp);
        // The few private-use characters iconv has no code for: a question mark, not a failed
        // file.
        if (code == 0) {
            *w++ = '?';
        } else if (code <= 0xFFFF) {
            *w++ = static_cast<char>(code >> 8);
            *w++ = static_cast<char>(code);
        } else {
            *w++ = static_cast<char>(code >> 24);
            *w++ = static_cast<char>(code >> 16);
            *w++ = static_cast<char>(code >> 8);
            *w++ = static_cast<char>(code);
        }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

std::string utf8ToGb18030(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    appendGb18030(out, utf8);
    return out;
}

std::string gb18030ToUtf8(std::string_view gb) {
    thread_local Converter conv("UTF-8", "GB18030");
    return conv.convert(gb);
}

}  // namespace pc

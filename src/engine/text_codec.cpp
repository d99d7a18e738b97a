#include "text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace pc {

bool isValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const std::uint8_t b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        unsigned len;
        std::uint32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2, cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3, cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4, cp = b & 0x07;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < len) return false;
        for (unsigned i = 1; i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += len;
    }
    return true;
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

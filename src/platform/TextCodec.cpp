#include "platform/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace brisel {
namespace {

// Length of the UTF-8 sequence starting at text[i] and its code point; 0 when malformed.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t* cp) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char b0 = byte(i);
  std::size_t need;
  char32_t value;
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    need = 2;
    value = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    need = 3;
    value = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    need = 4;
    value = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + need > text.size()) return 0;
  for (std::size_t k = 1; k < need; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) return 0;
    value = (value << 6) | (b & 0x3F);
  }
  static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMin[need] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *cp = value;
  return need;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // Converts one unit; false when it has no form in the target encoding.
  bool Convert(std::string_view in, std::string* out) {
    char buffer[16];
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0)
      return false;
    out->append(buffer, static_cast<std::size_t>(dst - buffer));
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  Converter conv("GBK", "UTF-8");
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp;
    std::size_t n = DecodeUtf8(utf8, i, &cp);
    if (n == 0) {
      out.push_back('?');
      ++i;
      continue;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (!conv.ok() || !conv.Convert(utf8.substr(i, n), &out)) {
      out.push_back('?');
    }
    i += n;
  }
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() * 3 / 2);
  Converter conv("UTF-8", "GBK");
  std::size_t i = 0;
  while (i < gbk.size()) {
    unsigned char b = static_cast<unsigned char>(gbk[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    if (i + 1 < gbk.size() && conv.ok() && conv.Convert(gbk.substr(i, 2), &out)) {
      i += 2;
      continue;
    }
    out += "\xEF\xBF\xBD";
    ++i;
  }
  return out;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp;
    std::size_t n = DecodeUtf8(utf8, i, &cp);
    if (n == 0) {
      ++units;
      ++i;
      continue;
    }
    units += cp >= 0x10000 ? 2 : 1;
    i += n;
  }
  return units;
}

std::string TruncateUtf16(std::string_view utf8, std::size_t maxUnits) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp;
    std::size_t n = DecodeUtf8(utf8, i, &cp);
    std::size_t w = 1;
    if (n == 0) {
      n = 1;
    } else if (cp >= 0x10000) {
      w = 2;
    }
    if (units + w > maxUnits) break;
    units += w;
    i += n;
  }
  return std::string(utf8.substr(0, i));
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp;
    std::size_t n = DecodeUtf8(text, i, &cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string ToValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp;
    std::size_t n = DecodeUtf8(text, i, &cp);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

}  // namespace brisel

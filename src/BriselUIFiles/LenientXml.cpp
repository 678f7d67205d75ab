#include "BriselUIFiles/LenientXml.h"

#include <iconv.h>

#include <cerrno>
#include <optional>
#include <string>

namespace brisel {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The encoding named by an XML declaration written in ASCII-compatible bytes, or "".
std::string DeclaredEncoding(std::string_view content) {
  if (content.substr(0, 5) != "<?xml") return {};
  std::string_view decl = content.substr(0, content.find("?>"));
  std::size_t p = decl.find("encoding");
  if (p == std::string_view::npos) return {};
  p += 8;
  while (p < decl.size() &&
         (decl[p] == ' ' || decl[p] == '\t' || decl[p] == '\r' || decl[p] == '\n'))
    ++p;
  if (p >= decl.size() || decl[p] != '=') return {};
  ++p;
  while (p < decl.size() &&
         (decl[p] == ' ' || decl[p] == '\t' || decl[p] == '\r' || decl[p] == '\n'))
    ++p;
  if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\'')) return {};
  char quote = decl[p++];
  std::size_t end = decl.find(quote, p);
  if (end == std::string_view::npos) return {};
  return std::string(decl.substr(p, end - p));
}

// Converts `content` from `encoding` to UTF-8 with iconv; nothing when it cannot.
std::optional<std::string> ToUtf8(std::string_view content, const std::string& encoding) {
  iconv_t cd = iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(content.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(content.data());
  std::size_t inLeft = content.size();
  std::size_t done = 0;
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = out.data() + done;
    std::size_t outLeft = out.size() - done;
    std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    done = out.size() - outLeft;
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
    } else {
      ok = false;  // undecodable or truncated input
      break;
    }
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(done);
  return out;
}

bool StartsWithUnicodeMark(std::string_view c) {
  auto at = [&](std::size_t i) { return i < c.size() ? static_cast<unsigned char>(c[i]) : 0x100u; };
  return (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) ||  // UTF-8 byte order mark
         (at(0) == 0xFE && at(1) == 0xFF) || (at(0) == 0xFF && at(1) == 0xFE) || at(0) == 0x00 ||
         (at(0) == '<' && at(1) == 0x00);  // UTF-16/32 without a mark
}

}  // namespace

pugi::xml_node ParseLenientXml(pugi::xml_document& doc, std::string_view content) {
  std::string converted;
  pugi::xml_encoding encoding = pugi::encoding_auto;
  if (!StartsWithUnicodeMark(content)) {
    std::string declared = Lower(DeclaredEncoding(content));
    if (declared == "iso-8859-1" || declared == "latin1") {
      encoding = pugi::encoding_latin1;
    } else if (!declared.empty() && declared != "utf-8" && declared != "utf8" &&
               declared != "us-ascii" && declared != "ascii") {
      auto utf8 = ToUtf8(content, declared);
      if (!utf8) return {};
      converted = std::move(*utf8);
      content = converted;
      encoding = pugi::encoding_utf8;
    } else {
      encoding = pugi::encoding_utf8;
    }
  }
  if (!doc.load_buffer(content.data(), content.size(), pugi::parse_default, encoding)) return {};
  // The parser accepts several elements at the document level; a well-formed file has one.
  pugi::xml_node root;
  for (pugi::xml_node node : doc.children()) {
    if (node.type() != pugi::node_element) continue;
    if (root) return {};
    root = node;
  }
  return root;
}

}  // namespace brisel

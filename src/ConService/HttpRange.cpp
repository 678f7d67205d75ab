#include "ConService/HttpRange.h"

#include <limits>

namespace brisel {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

void SkipSpaces(std::string_view* text) {
  while (!text->empty() && IsSpace(text->front())) text->remove_prefix(1);
}

// Decimal digits at the front; a number too large for 64 bits saturates.
bool TakeNumber(std::string_view* text, std::uint64_t* value) {
  std::size_t digits = 0;
  *value = 0;
  while (digits < text->size() && (*text)[digits] >= '0' && (*text)[digits] <= '9') {
    std::uint64_t d = static_cast<std::uint64_t>((*text)[digits] - '0');
    if (*value > (std::numeric_limits<std::uint64_t>::max() - d) / 10) {
      *value = std::numeric_limits<std::uint64_t>::max();
    } else {
      *value = *value * 10 + d;
    }
    ++digits;
  }
  text->remove_prefix(digits);
  return digits > 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

HttpRange HttpRange::Decide(std::string_view header, std::uint64_t size) {
  HttpRange whole;
  SkipSpaces(&header);
  std::size_t equals = header.find('=');
  if (equals == std::string_view::npos) return whole;
  std::string_view unit = header.substr(0, equals);
  while (!unit.empty() && IsSpace(unit.back())) unit.remove_suffix(1);
  if (!EqualsNoCase(unit, "bytes")) return whole;
  std::string_view spec = header.substr(equals + 1);
  SkipSpaces(&spec);

  std::uint64_t first = 0, last = 0;
  bool suffix = false, open = false;
  if (!spec.empty() && spec.front() == '-') {
    spec.remove_prefix(1);
    if (!TakeNumber(&spec, &last)) return whole;
    suffix = true;
  } else {
    if (!TakeNumber(&spec, &first)) return whole;
    SkipSpaces(&spec);
    if (spec.empty() || spec.front() != '-') return whole;
    spec.remove_prefix(1);
    SkipSpaces(&spec);
    open = !TakeNumber(&spec, &last);
    if (!open && last < first) return whole;
  }
  SkipSpaces(&spec);
  if (!spec.empty()) return whole;  // several ranges, or trailing junk

  HttpRange range;
  range.kind = Kind::Unsatisfiable;
  if (size == 0) return range;
  if (suffix) {
    if (last == 0) return range;
    range.first = last >= size ? 0 : size - last;
    range.last = size - 1;
  } else {
    if (first >= size) return range;
    range.first = first;
    range.last = open || last >= size ? size - 1 : last;
  }
  range.kind = Kind::Partial;
  return range;
}

}  // namespace brisel

#include "cli/SharePaths.h"

#include <filesystem>

namespace brisel::cli {

std::string SharePathArgument(const std::string& argument) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(argument, ec);
  if (ec) path = argument;
  std::string text = path.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace brisel::cli

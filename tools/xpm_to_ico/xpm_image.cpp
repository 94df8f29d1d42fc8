#include "xpm_image.h"

#include <charconv>
#include <map>
#include <sstream>

namespace linksift {
namespace {

// Every double-quoted string of the file, in order; C comments are skipped.
std::vector<std::string_view> QuotedStrings(std::string_view text) {
  std::vector<std::string_view> strings;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "/*") == 0) {
      const std::size_t end = text.find("*/", i + 2);
      if (end == std::string_view::npos) throw XpmError("unterminated comment");
      i = end + 1;
    } else if (text[i] == '"') {
      const std::size_t end = text.find('"', i + 1);
      if (end == std::string_view::npos) throw XpmError("unterminated string");
      const std::string_view value = text.substr(i + 1, end - i - 1);
      if (value.find('\\') != std::string_view::npos) throw XpmError("escapes are not supported");
      strings.push_back(value);
      i = end;
    }
  }
  return strings;
}

int ToInt(const std::string& word, const char* what) {
  int value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || value <= 0) {
    throw XpmError(std::string("bad ") + what + ": '" + word + "'");
  }
  return value;
}

XpmColor ParseColorValue(const std::string& value) {
  if (value == "None" || value == "none") return XpmColor{0, 0, 0, true};
  if (value.size() != 7 || value[0] != '#') throw XpmError("unsupported colour '" + value + "'");
  unsigned rgb = 0;
  const auto [end, error] = std::from_chars(value.data() + 1, value.data() + 7, rgb, 16);
  if (error != std::errc() || end != value.data() + 7) {
    throw XpmError("unsupported colour '" + value + "'");
  }
  return XpmColor{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                  static_cast<std::uint8_t>(rgb), false};
}

// "<key> c <value>" (other visuals before or after the c one are ignored).
XpmColor ParseColorLine(std::string_view line, std::size_t chars_per_pixel) {
  std::istringstream words(std::string(line.substr(chars_per_pixel)));
  std::string visual;
  std::string value;
  while (words >> visual >> value) {
    if (visual == "c") return ParseColorValue(value);
  }
  throw XpmError("colour line without a 'c' value: '" + std::string(line) + "'");
}

}  // namespace

XpmImage ParseXpm(std::string_view text) {
  const std::vector<std::string_view> strings = QuotedStrings(text);
  if (strings.empty()) throw XpmError("no XPM values line");
  std::istringstream values{std::string(strings[0])};
  std::string width, height, count, cpp;
  if (!(values >> width >> height >> count >> cpp)) throw XpmError("short XPM values line");
  XpmImage image;
  image.width = ToInt(width, "width");
  image.height = ToInt(height, "height");
  const int colors = ToInt(count, "colour count");
  const auto chars_per_pixel = static_cast<std::size_t>(ToInt(cpp, "characters per pixel"));
  if (colors > 256) throw XpmError("more than 256 colours");
  if (strings.size() != 1 + static_cast<std::size_t>(colors + image.height)) {
    throw XpmError("expected " + std::to_string(colors) + " colours and " +
                   std::to_string(image.height) + " rows");
  }

  std::map<std::string_view, std::uint8_t> keys;
  for (int i = 0; i < colors; ++i) {
    const std::string_view line = strings[1 + static_cast<std::size_t>(i)];
    if (line.size() < chars_per_pixel) throw XpmError("short colour line");
    keys[line.substr(0, chars_per_pixel)] = static_cast<std::uint8_t>(i);
    image.colors.push_back(ParseColorLine(line, chars_per_pixel));
  }
  for (int y = 0; y < image.height; ++y) {
    const std::string_view row = strings[1 + static_cast<std::size_t>(colors + y)];
    if (row.size() != chars_per_pixel * static_cast<std::size_t>(image.width)) {
      throw XpmError("row " + std::to_string(y + 1) + " has the wrong length");
    }
    for (std::size_t at = 0; at < row.size(); at += chars_per_pixel) {
      const auto key = keys.find(row.substr(at, chars_per_pixel));
      if (key == keys.end()) throw XpmError("row " + std::to_string(y + 1) + ": unknown colour");
      image.pixels.push_back(key->second);
    }
  }
  return image;
}

}  // namespace linksift

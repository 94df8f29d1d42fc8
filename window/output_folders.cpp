#include "output_folders.h"

#include <cstddef>
#include <string_view>

#include "texts.h"
#include "utf16.h"

namespace linksift {
namespace {

#ifndef _WIN32
// The length of the well-formed UTF-8 sequence at the start of `rest`, or 0.
std::size_t SequenceLength(std::string_view rest) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(rest[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (rest.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}
#endif

}  // namespace

bool CallsForUserData(const ExtractionError& error) {
  if (!error.folder_refused()) return false;
  const std::error_code code = error.code();
#ifdef _WIN32
  constexpr int kAccessDenied = 5;   // ERROR_ACCESS_DENIED
  constexpr int kWriteProtect = 19;  // ERROR_WRITE_PROTECT
  if (code.category() == std::system_category()) {
    return code.value() == kAccessDenied || code.value() == kWriteProtect;
  }
#endif
  return code == std::errc::permission_denied || code == std::errc::operation_not_permitted ||
         code == std::errc::read_only_file_system;
}

std::string DisplayPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return Utf8FromPath(path);
#else
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
  std::string_view rest = path.native();
  std::string shown;
  shown.reserve(rest.size());
  while (!rest.empty()) {
    const std::size_t length = SequenceLength(rest);
    if (length == 0) {
      shown.append(kReplacement);
      rest.remove_prefix(1);
    } else {
      shown.append(rest.substr(0, length));
      rest.remove_prefix(length);
    }
  }
  return shown;
#endif
}

std::filesystem::path OutputFileIn(const std::filesystem::path& folder) {
  // Appended as it is: a trailing separator on the folder stays, as in the label.
  std::filesystem::path file = folder;
  file += std::string(OutputFileName);
  return file;
}

}  // namespace linksift

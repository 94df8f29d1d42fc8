#include <windows.h>

#include <memory>
#include <string>

#include "system_reason.h"
#include "utf16.h"

namespace linksift {

// The system's own text, which comes in UTF-16: the ANSI form std::error_code
// gives would turn Cyrillic into mojibake once read as UTF-8.
std::string SystemReason(std::error_code code) {
  if (code.category() != std::system_category()) return code.message();
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code.value()), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owner(text, &::LocalFree);
  if (length == 0) return "error " + std::to_string(code.value());
  std::wstring_view wide(text, length);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) {
    wide.remove_suffix(1);
  }
  return Narrow(wide);
}

}  // namespace linksift

#include "error_text.h"

#include <string_view>

#include "reason_text.h"
#include "utf16.h"

namespace linksift {
namespace {

std::string_view WhatFailed(Stage stage) {
  switch (stage) {
    case Stage::kOpenInput:
      return "Не удалось открыть файл";
    case Stage::kCreateOutput:
      return "Не удалось создать файл";
    case Stage::kRead:
      return "Не удалось прочитать файл";
    case Stage::kWrite:
      return "Не удалось записать файл";
    case Stage::kReplace:
      return "Не удалось заменить файл";
  }
  return "Не удалось обработать файл";
}

// What failed, on which file, and why; the reason is UTF-8 whatever code
// page Windows runs with.
std::string Describe(std::string_view what, const std::filesystem::path& path,
                     std::string_view reason) {
  std::string text(what);
  text.append(":\n");
  text.append(Utf8FromPath(path));
  text.append("\n\nПричина: ");
  text.append(reason);
  return text;
}

std::string Compose(std::string_view what, const std::filesystem::path& path,
                    std::string_view reason) {
  // Every run replaces the output only once it is complete.
  return Describe(what, path, reason).append("\nФайл urls.txt не изменён.");
}

}  // namespace

std::string BuildErrorText(const ExtractionError& error) {
  return Compose(WhatFailed(error.stage()), error.tried(), ReasonText(error.code()));
}

std::string BuildFallbackErrorText(const ExtractionError& program,
                                   const ExtractionError& user_data) {
  std::string text =
      Describe(WhatFailed(program.stage()), program.tried(), ReasonText(program.code()));
  text.append("\n\n");
  std::string what(WhatFailed(user_data.stage()));
  what.append(" и в папке данных пользователя");
  return text.append(Compose(what, user_data.tried(), ReasonText(user_data.code())));
}

std::string BuildStartFailedText(const std::filesystem::path& input, std::error_code code) {
  return Compose("Не удалось начать обработку файла", input, ReasonText(code));
}

std::string BuildFolderNotOpenedText(const std::filesystem::path& folder, std::string_view reason) {
  return Describe("Не удалось открыть папку", folder, reason);
}

std::string BuildFileNotOpenedText(const std::filesystem::path& file, std::string_view reason) {
  return Describe("Не удалось открыть файл", file, reason);
}

std::string BuildUnexpectedErrorText(const std::filesystem::path& input, std::string_view reason) {
  return Compose("Не удалось обработать файл", input, reason);
}

}  // namespace linksift

#include "error_text.h"

#include <string_view>

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

}  // namespace

std::string BuildErrorText(const ExtractionError& error) {
  std::string text(WhatFailed(error.stage()));
  text.append(":\n");
  text.append(error.path().string());
  text.append("\n\nПричина: ");
  text.append(error.code().message());
  // Every run replaces the output only once it is complete.
  text.append("\nФайл urls.txt не изменён.");
  return text;
}

}  // namespace linksift

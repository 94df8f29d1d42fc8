#include "texts.h"

#include <limits>

namespace linksift {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

std::string BuildInstructionText() {
  constexpr std::string_view kLines[] = {
      "1. Жмакаем 'Открыть файл...'",
      "2. Выбираем текстовый файл",
      "3. Получаем файл urls.txt со ссылками*, если оные имеются в",
      "     выбранном файле(пункт 2)!",
      "",
      "* ссылками считаются непрерывные последовательности символов начинающиеся с "
      "'http://'",
      "если файл имеется то он будет перезаписан!",
  };
  std::string text;
  for (std::string_view line : kLines) {
    text.append(line);
    text.append(kLineEnd);
  }
  return text;
}

std::string BuildResultText(LinkCount count, std::string_view output_path) {
  std::string text = "Найдено ссылок - ";
  text.append(std::to_string(count));
  text.append(kLineEnd);
  text.append(kLineEnd);
  text.append("Сформирован файл: ");
  text.append(output_path);
  return text;
}

TextSpan ResultPathSpan(const std::string& result_text, std::string_view output_path) {
  // The path ends the text.
  return {result_text.size() - output_path.size(), output_path.size()};
}

std::string BuildCancelText() {
  std::string text = "Обработка отменена.";
  text.append(kLineEnd);
  text.append(kLineEnd);
  text.append("Файл urls.txt не изменён.");
  return text;
}

std::string LongestResultText() {
  std::string path;
  for (int i = 0; i < kLongestPathShown; ++i) path += "Ш";
  return BuildResultText(std::numeric_limits<LinkCount>::max(), path);
}

std::string BuildOutputPath(std::string_view program_directory) {
  std::string path(program_directory);
  path.append(OutputFileName);
  return path;
}

}  // namespace linksift

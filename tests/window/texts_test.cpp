#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <future>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "dialog_filter.h"
#include "error_text.h"
#include "texts.h"

namespace linksift {
namespace {

TEST(InstructionText, IsTheSevenLinesWithCrLfByteForByte) {
  const std::string expected =
      "1. Жмакаем 'Открыть файл...'\r\n"
      "2. Выбираем текстовый файл\r\n"
      "3. Получаем файл urls.txt со ссылками*, если оные имеются в\r\n"
      "     выбранном файле(пункт 2)!\r\n"
      "\r\n"
      "* ссылками считаются непрерывные последовательности символов начинающиеся с 'http://'\r\n"
      "если файл имеется то он будет перезаписан!\r\n";
  EXPECT_EQ(BuildInstructionText(), expected);
}

// Front ends fit Label1's font to LongestResultText(): no result whose path has
// up to kLongestPathShown characters may have a longer line.
TEST(ResultText, TheLongestHasTheLongestLinesOfAnyPathShownInFull) {
  const auto characters = [](std::string_view line) {
    return std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; });
  };
  const auto lines = [&](const std::string& text) {
    std::vector<long> lengths;
    for (std::size_t start = 0; start <= text.size();) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      lengths.push_back(characters(std::string_view(text).substr(start, end - start)));
      start = end + 2;
    }
    return lengths;
  };
  const std::vector<long> longest = lines(LongestResultText());
  for (const LinkCount count : {LinkCount{0}, LinkCount{65536}, UINT64_MAX}) {
    for (const std::string_view letter : {"a", "W", "Ш", "ж", "/"}) {
      std::string path;
      for (int i = 0; i < kLongestPathShown; ++i) path += letter;
      const std::vector<long> result = lines(BuildResultText(count, path));
      ASSERT_EQ(result.size(), longest.size());
      for (std::size_t i = 0; i < result.size(); ++i) {
        EXPECT_LE(result[i], longest[i]) << count << " " << letter << " line " << i;
      }
    }
  }
  EXPECT_EQ(longest.back(), characters("Сформирован файл: ") + kLongestPathShown);
}

TEST(ResultText, ShowsCountEmptyLineAndPath) {
  struct Case {
    LinkCount count;
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {0, "/opt/linksift/urls.txt",
       "Найдено ссылок - 0\r\n\r\nСформирован файл: /opt/linksift/urls.txt"},
      {1234, "/a/urls.txt", "Найдено ссылок - 1234\r\n\r\nСформирован файл: /a/urls.txt"},
      {65536, "/a/urls.txt", "Найдено ссылок - 65536\r\n\r\nСформирован файл: /a/urls.txt"},
      {UINT64_MAX, "//urls.txt",
       "Найдено ссылок - 18446744073709551615\r\n\r\nСформирован файл: //urls.txt"},
      {7, "/дом/с пробелом/urls.txt",
       "Найдено ссылок - 7\r\n\r\nСформирован файл: /дом/с пробелом/urls.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildResultText(c.count, c.path), c.expected) << c.count;
}

TEST(OutputPath, AppendsTheNameToTheDirectoryAsItIs) {
  const std::map<std::string, std::string> cases = {
      {"/opt/linksift", "/opt/linksift/urls.txt"},
      {"/", "//urls.txt"},
      {"/home/u/bin/", "/home/u/bin//urls.txt"},
      {"/путь с пробелом", "/путь с пробелом/urls.txt"},
  };
  for (const auto& [directory, expected] : cases) {
    EXPECT_EQ(BuildOutputPath(directory), expected) << directory;
  }
}

TEST(ErrorText, NamesWhatFailedTheFileAndTheReason) {
  struct Case {
    Stage stage;
    std::string what;
  };
  const Case cases[] = {
      {Stage::kOpenInput, "Не удалось открыть файл"},
      {Stage::kCreateOutput, "Не удалось создать файл"},
      {Stage::kRead, "Не удалось прочитать файл"},
      {Stage::kWrite, "Не удалось записать файл"},
      {Stage::kReplace, "Не удалось заменить файл"},
  };
  const std::error_code code(ENOSPC, std::system_category());
  for (const Case& c : cases) {
    const std::string text = BuildErrorText(ExtractionError(c.stage, "/data/в/list.txt", code));
    EXPECT_EQ(text, c.what +
                        ":\n/data/в/list.txt\n\nПричина: На диске не осталось места"
                        "\nФайл urls.txt не изменён.");
  }
}

TEST(ErrorText, GivesCommonReasonsInRussianAndTheSystemsTextForTheRest) {
  const std::error_code other(EHWPOISON, std::system_category());
  const std::pair<std::error_code, std::string> cases[] = {
      {{EACCES, std::system_category()}, "Отказано в доступе"},
      {std::make_error_code(std::errc::permission_denied), "Отказано в доступе"},
      {{ELOOP, std::system_category()}, "Слишком много уровней символических ссылок"},
      {{EDQUOT, std::system_category()}, "Превышена дисковая квота"},
      {{EBADF, std::system_category()}, "Неверный дескриптор файла"},
      {MakeErrorCode(RunFailure::kInputChanged), "Файл изменился во время чтения"},
      {other, other.message()},
      {std::make_error_code(std::future_errc::no_state),
       std::make_error_code(std::future_errc::no_state).message()},
  };
  for (const auto& [code, reason] : cases) {
    EXPECT_EQ(
        BuildErrorText(ExtractionError(Stage::kRead, "/f", code)),
        "Не удалось прочитать файл:\n/f\n\nПричина: " + reason + "\nФайл urls.txt не изменён.")
        << code.message();
  }
}

TEST(ErrorText, ARunThatCouldNotStartNamesTheFileAndTheReason) {
  EXPECT_EQ(BuildStartFailedText("/data/в/list.txt",
                                 std::make_error_code(std::errc::resource_unavailable_try_again)),
            "Не удалось начать обработку файла:\n/data/в/list.txt\n\nПричина: Ресурс временно "
            "недоступен\nФайл urls.txt не изменён.");
}

TEST(ErrorText, ForAFailureWithoutAStageNamesTheInputAndTheReason) {
  EXPECT_EQ(BuildUnexpectedErrorText("/data/в/list.txt", "std::bad_alloc"),
            "Не удалось обработать файл:\n/data/в/list.txt\n\nПричина: std::bad_alloc"
            "\nФайл urls.txt не изменён.");
}

TEST(DialogFilter, SplitsDescriptionsAndPatterns) {
  struct Case {
    std::string filter;
    std::vector<FilterEntry> expected;
  };
  const std::vector<Case> cases = {
      {"Текстовые файлы (*.txt)|*.txt", {{"Текстовые файлы (*.txt)", "*.txt"}}},
      {"Текст|*.txt|Все|*.*", {{"Текст", "*.txt"}, {"Все", "*.*"}}},
      {"Картинки|*.png;*.jpg", {{"Картинки", "*.png;*.jpg"}}},
      {"Без шаблона", {{"Без шаблона", "*"}}},
      {"Пусто|", {{"Пусто", "*"}}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitDialogFilter(c.filter), c.expected) << c.filter;
}

}  // namespace
}  // namespace linksift

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <string>
#include <system_error>
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

TEST(WindowTexts, AreTheProgramsOwnByteForByte) {
  EXPECT_EQ(kWindowTitle, "Linksift");
  EXPECT_EQ(kCommand1Text, "Открыть файл...");
  EXPECT_EQ(kDialogTitle, "Открытие файла");
  EXPECT_EQ(kDialogFilter, "Текстовые файлы (*.txt)|*.txt");
  EXPECT_EQ(kOpenOutputText, "Открыть urls.txt");
  EXPECT_EQ(kShowInFolderText, "Показать в папке");
  EXPECT_EQ(kCancelHintText, "Esc — отмена");
  EXPECT_EQ(BuildCancelText(), "Обработка отменена.\r\n\r\nФайл urls.txt не изменён.");
}

TEST(ResultText, LongestIsTheLargestCountWithAPathOfWideLetters) {
  std::string path;
  for (int i = 0; i < 120; ++i) path += "Ш";
  EXPECT_EQ(LongestResultText(), BuildResultText(UINT64_MAX, path));
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
    EXPECT_EQ(text, c.what + ":\n/data/в/list.txt\n\nПричина: " + code.message() +
                        "\nФайл urls.txt не изменён.");
  }
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

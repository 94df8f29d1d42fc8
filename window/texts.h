#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "extract.h"

namespace linksift {

inline constexpr std::string_view kWindowTitle = "Linksift";
inline constexpr std::string_view kCommand1Text = "Открыть файл...";
inline constexpr std::string_view kDialogTitle = "Открытие файла";
inline constexpr std::string_view kDialogFilter = "Текстовые файлы (*.txt)|*.txt";
// What screen readers call Label1 and the progress bar (Command1 goes by its
// text), and the label's one menu command.
inline constexpr std::string_view kLabel1AccessibleName = "Результат";
inline constexpr std::string_view kProgressAccessibleName = "Ход обработки";
inline constexpr std::string_view kCopyText = "Копировать";
// The label's menu after a run: urls.txt in the program for text files, and
// the folder that holds it with the file selected (what the link does).
inline constexpr std::string_view kOpenOutputText = "Открыть urls.txt";
inline constexpr std::string_view kShowInFolderText = "Показать в папке";
// Beside the progress while a run lasts.
inline constexpr std::string_view kCancelHintText = "Esc — отмена";

// Paths up to this many characters show in full in Label1 at its fitted font;
// a longer one gets smaller letters.
inline constexpr int kLongestPathShown = 120;

// Appended to ProgramDirectory, separator included, to name the output file.
#ifdef _WIN32
inline constexpr std::string_view OutputFileName = "\\urls.txt";
#else
inline constexpr std::string_view OutputFileName = "/urls.txt";
#endif

// The seven lines Label1 shows from start-up, each followed by CR LF.
std::string BuildInstructionText();

// The count line, an empty line and the line naming the output file, with
// CR LF between them and none after the last. UTF-8.
std::string BuildResultText(LinkCount count, std::string_view output_path);

// Where in BuildResultText(count, output_path) the path stands: UTF-8 bytes.
struct TextSpan {
  std::size_t start = 0;
  std::size_t length = 0;
  friend bool operator==(const TextSpan&, const TextSpan&) = default;
};
TextSpan ResultPathSpan(const std::string& result_text, std::string_view output_path);

// What Label1 says after Esc has ended a run: it was cancelled and urls.txt
// is as it was; two lines with an empty one between, CR LF, none at the end.
std::string BuildCancelText();

// The widest result text Label1 holds at its fitted font: the largest count and a
// path of kLongestPathShown wide letters. Front ends size the label's font by it.
std::string LongestResultText();

// ProgramDirectory followed directly by OutputFileName; a trailing separator
// on the directory is kept, so the root gives "//urls.txt".
std::string BuildOutputPath(std::string_view program_directory);

}  // namespace linksift

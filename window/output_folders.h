#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "extraction_error.h"

namespace linksift {

// How a program was built: to run from a folder of its own (a build folder,
// the portable zip), writing urls.txt there, or to be installed by a package,
// whose folder is the package manager's even where it can be written to (as
// root, or Program Files under Wine): it writes in the user's data folder only.
enum class Placement { kOwnFolder, kInstalled };

// Where a run may write urls.txt. Each front end asks its system for both.
struct OutputFolders {
  // The program's own folder, the first choice. Empty when the system could
  // not say where the program is: `program_unknown` says why, and nothing is
  // written anywhere.
  std::filesystem::path program;
  std::error_code program_unknown;
  // The user's data folder for Linksift, made when first needed; for a
  // program folder the user cannot write to. Empty when the system has none.
  std::filesystem::path user_data;
  Placement placement = Placement::kOwnFolder;
};

// True when `error` means the program folder itself cannot be written to
// (no permission, a read-only file system), so that urls.txt belongs in the
// user's data folder instead. A write-protected urls.txt is not such a case.
bool CallsForUserData(const ExtractionError& error);

// The path as the label shows it, UTF-8; bytes that are not UTF-8 become
// U+FFFD, so that a folder with such a name still shows, recognisably.
std::string DisplayPath(const std::filesystem::path& path);

// `folder` followed directly by OutputFileName: the file a run writes.
std::filesystem::path OutputFileIn(const std::filesystem::path& folder);

}  // namespace linksift

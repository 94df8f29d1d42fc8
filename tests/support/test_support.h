#pragma once

// Everything the tests share, in namespace linksift::testing_support.
#include <chrono>
#include <filesystem>

#ifndef _WIN32
#include "child.h"
#endif
#include "files.h"
#include "pipe_writer.h"
#include "reference_rule.h"
#include "search_kernels.h"
#include "temp_dir.h"
#include "text.h"

namespace linksift::testing_support {

// Names every test uses, brought in with `using namespace testing_support`.
namespace fs = std::filesystem;
using namespace std::chrono_literals;

}  // namespace linksift::testing_support

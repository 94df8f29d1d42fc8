#pragma once

// Everything the tests share, in namespace linksift::testing_support.
#include "files.h"
#include "pipe_writer.h"
#include "search_kernels.h"
#include "temp_dir.h"
#include "text.h"

// The console's --extract folder is the front ends' shared output folder.
#pragma once

#include "frontend/output_folder.h"

namespace tessalin::cli {

using tessalin::OutputFile;
using tessalin::OutputFolder;
using tessalin::ScannedRoot;

}  // namespace tessalin::cli

// The console's --extract and --hash use the front ends' shared copy engine.
#pragma once

#include "frontend/extraction.h"

namespace tessalin::cli {

using tessalin::kManifestName;
using tessalin::Provenance;
using tessalin::StreamContent;

}  // namespace tessalin::cli

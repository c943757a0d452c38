// The console's row filters are the front ends' shared ones.
#pragma once

#include "frontend/row_filter.h"

namespace tessalin::cli {

using tessalin::parseSizeArgument;
using tessalin::RowFilter;
using tessalin::wildcardMatches;

}  // namespace tessalin::cli

// An opened image's layout (engine/image_layout.h) from what the library read.
#pragma once

#include <tsk/libtsk.h>

#include <string>

#include "engine/image_layout.h"

namespace streamscan {

// `vs` null: the image has no partition table.
ImageLayout readLayout(const std::u16string& path, TSK_IMG_INFO* img, TSK_VS_INFO* vs);

}  // namespace streamscan

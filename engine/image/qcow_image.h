// qcow and qcow2 files (QEMU's disk images), read through libqcow and handed
// to The Sleuth Kit's library as an external image, so partitions and file
// systems in them are found like those of any other container.
#pragma once

#include <tsk/libtsk.h>

#include <string>

namespace streamscan {

// Opens the qcow file at `path` as the library's image; null, with the
// library's error set (libraryError), when it cannot be read. tsk_img_close
// closes it.
TSK_IMG_INFO* openQcowImage(const std::string& path);

// "qcow2" (versions 2 and 3), "qcow" (version 1), or empty for an image that
// openQcowImage did not open.
std::u16string qcowContainerName(TSK_IMG_INFO* img);

}  // namespace streamscan

// What kind of container an image file is and whether it is whole, judged from
// its own bytes before the library is asked to open it.
#pragma once

#include <tsk/libtsk.h>

#include <string>

namespace streamscan {

// The image's path as the form writes it: absolute, one slash between names.
std::u16string imagePathForm(std::u16string path);

// The container format, from the signature each one starts (or, for VHD, ends)
// with. Choosing it here, instead of letting the library try each in turn,
// keeps the failed tries of the container libraries (which leak) away from
// every raw image. qcow files, which this program reads itself
// (qcow_image.h), are TSK_IMG_TYPE_EXTERNAL.
TSK_IMG_TYPE_ENUM containerType(const std::string& path);

// The first segment an evidence set opened from `first` (NAME.E01) lacks, or
// empty when the set is whole or cannot be judged.
std::string missingSegment(const std::string& first);

// The library's message for its last error, on one line; the error is cleared.
std::u16string libraryError();

}  // namespace streamscan

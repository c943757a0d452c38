// A box's look as the MessageBoxW style bits the seam passes on.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frontend/message_box_style.h"

namespace tessalin {

constexpr std::uint32_t messageBoxFlags(const BoxStyle& style) {
    UINT flags = style.buttons == BoxButtons::yesNo ? MB_YESNO : MB_OK;
    switch (style.icon) {
        case BoxIcon::information:
            flags |= MB_ICONINFORMATION;
            break;
        case BoxIcon::warning:
            flags |= MB_ICONWARNING;
            break;
        case BoxIcon::error:
            flags |= MB_ICONERROR;
            break;
    }
    if (style.secondButtonIsDefault)
        flags |= MB_DEFBUTTON2;
    return flags;
}

}  // namespace tessalin

// How a command's message box looks, as plain values. The Win32 glue maps them to
// MB_* flags; the tests read them directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessalin {

enum class BoxButtons {
    ok,     // MB_OK
    yesNo,  // MB_YESNO
};

enum class BoxIcon {
    information,  // MB_ICONINFORMATION
    warning,      // MB_ICONWARNING
    error,        // MB_ICONERROR
};

struct BoxStyle {
    BoxButtons buttons = BoxButtons::ok;
    BoxIcon icon = BoxIcon::information;
    bool secondButtonIsDefault = false;  // MB_DEFBUTTON2: a question that defaults to No

    friend bool operator==(const BoxStyle&, const BoxStyle&) = default;
};

inline constexpr BoxStyle kInformationBox{BoxButtons::ok, BoxIcon::information, false};
inline constexpr BoxStyle kWarningBox{BoxButtons::ok, BoxIcon::warning, false};
inline constexpr BoxStyle kErrorBox{BoxButtons::ok, BoxIcon::error, false};
inline constexpr BoxStyle kQuestionDefaultNoBox{BoxButtons::yesNo, BoxIcon::warning, true};

// The MessageBoxW style bits of a box (MB_OK 0x0, MB_YESNO 0x4, MB_ICONERROR 0x10,
// MB_ICONWARNING 0x30, MB_ICONINFORMATION 0x40, MB_DEFBUTTON2 0x100), for the seam.
constexpr std::uint32_t messageBoxFlags(const BoxStyle& style) {
    std::uint32_t flags = style.buttons == BoxButtons::yesNo ? 0x4u : 0x0u;
    switch (style.icon) {
        case BoxIcon::information:
            flags |= 0x40u;
            break;
        case BoxIcon::warning:
            flags |= 0x30u;
            break;
        case BoxIcon::error:
            flags |= 0x10u;
            break;
    }
    if (style.secondButtonIsDefault)
        flags |= 0x100u;
    return flags;
}

// One box to show: its text and its look. The window gives every box its own
// name as the caption.
struct BoxMessage {
    std::u16string text;
    BoxStyle style;
};

}  // namespace tessalin

// How a command's message box looks, as plain values. The window maps them to
// its system's flags (window/win32/message_box_flags.h); the tests read them
// directly.
#pragma once

#include <string>
#include <string_view>

namespace tessalin {

enum class BoxButtons {
    ok,
    yesNo,
};

enum class BoxIcon {
    information,
    warning,
    error,
};

struct BoxStyle {
    BoxButtons buttons = BoxButtons::ok;
    BoxIcon icon = BoxIcon::information;
    bool secondButtonIsDefault = false;  // a question that defaults to No

    friend bool operator==(const BoxStyle&, const BoxStyle&) = default;
};

inline constexpr BoxStyle kInformationBox{BoxButtons::ok, BoxIcon::information, false};
inline constexpr BoxStyle kWarningBox{BoxButtons::ok, BoxIcon::warning, false};
inline constexpr BoxStyle kErrorBox{BoxButtons::ok, BoxIcon::error, false};
inline constexpr BoxStyle kQuestionDefaultNoBox{BoxButtons::yesNo, BoxIcon::warning, true};

// One box to show: its text and its look. The window gives every box its own
// name as the caption.
struct BoxMessage {
    std::u16string text;
    BoxStyle style;
};

}  // namespace tessalin

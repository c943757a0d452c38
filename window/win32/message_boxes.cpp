#include "window/product_info.h"
#include "window/win32/main_window.h"
#include "window/win32/message_box_flags.h"

namespace tessalin {

int showMessageBox(MainWindowState& state, std::u16string_view text, UINT style) {
    return state.ui->messageBox(state.window, text, kProductName, style);
}

int showMessageBox(MainWindowState& state, const BoxMessage& message) {
    return showMessageBox(state, message.text, static_cast<UINT>(messageBoxFlags(message.style)));
}

}  // namespace tessalin

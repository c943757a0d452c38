// Owners the window adds to the engine's: its font, a drop, and OLE.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include "engine/win32/owned.h"

namespace tessalin {

using streamscan::Owned;
using streamscan::OwnedHandle;
using OwnedFont = Owned<HFONT, &DeleteObject>;
// A drop's file list, finished by DragFinish.
using OwnedDrop = Owned<HDROP, &DragFinish>;

// OLE for this thread, from construction to destruction. Each successful
// OleInitialize (S_FALSE too) is balanced by one OleUninitialize.
class OleInitialization {
  public:
    OleInitialization() : initialized(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleInitialization() {
        if (initialized)
            OleUninitialize();
    }
    OleInitialization(const OleInitialization&) = delete;
    OleInitialization& operator=(const OleInitialization&) = delete;

  private:
    bool initialized;
};

}  // namespace tessalin

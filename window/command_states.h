// Which commands are enabled, decided from the window's state alone.
#pragma once

#include "window/command_ids.h"

namespace tessalin {

struct CommandStateInput {
    bool scanning = false;
    bool haveLastRoots = false;  // lastRoots is not empty
    bool haveRows = false;       // rowOrder is not empty
    bool anySelected = false;    // the list has a selected row
    bool havePlaces = false;     // the last scan named places it did not examine
};

// Exit, About and any identifier this window does not know are always enabled.
bool isCommandEnabled(CommandId command, const CommandStateInput& input);

}  // namespace tessalin

// What the console's shared part and its platform part (cli/posix/, cli/win32/)
// both touch, also from a signal or control handler: atomics only.
#pragma once

#include <atomic>

namespace tessalin::cli {

extern std::atomic<bool>* interruptFlag;   // the cancel flag of installInterruptHandler
extern std::atomic<bool> progressShown;    // setProgressLineShown
extern std::atomic<bool> removalUnderway;  // a RemovalUnderway lives
extern std::atomic<bool> colourInUse;      // setColourInUse

// The width COLUMNS names, else the default: for output that is no terminal.
int widthFromEnvironment();

}  // namespace tessalin::cli

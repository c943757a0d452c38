// Turning the locations a user named into the list of roots a scan walks:
// absolute, in the given order, each folder or file once, with a note on what
// was merged and what overlaps. Shared by the window and the console scanner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace tessalin {

struct PreparedRoots {
    std::vector<std::u16string> roots;  // kept roots in given order, each as made absolute
    std::uint64_t duplicates = 0;       // locations dropped because an earlier one named the same
    std::uint64_t nested = 0;           // kept roots that lie inside another kept root
};

// The form in which roots are compared. Windows: "/" becomes "\" and trailing
// separators go, except the one of a drive root (C:\). POSIX: only "/"
// separates, trailing ones go, and "/" itself stays.
std::u16string rootKey(const std::u16string& path,
                       streamscan::PathStyle style = streamscan::kNativePathStyle);

// Makes each location absolute through the port, drops later duplicates (case
// ignored on a Windows-style port, exact on a POSIX one, where a.txt and A.txt
// are two files) and counts the nested roots, which stay in the list.
PreparedRoots prepareRoots(const std::vector<std::u16string>& locations,
                           streamscan::FileSystem& fs);

// " (N location(s) was/were named twice ...)" and " (N location(s) sit(s) inside
// another ...)", each only when its count is above 0; empty otherwise.
std::u16string rootListNote(std::uint64_t duplicates, std::uint64_t nested);

}  // namespace tessalin

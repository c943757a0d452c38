// Reading extended attributes of one item without following a link: through
// the descriptor of its folder where the kernel has the *xattrat calls (Linux
// 6.13), else by path with the l*xattr calls.
#pragma once

#include <cstddef>
#include <string>

namespace streamscan {

// An item as the calls reach it: an entry `name` of the open folder `folder`,
// or (folder < 0) the path `name` itself. `path` is always the full path.
struct AttributeHost {
    int folder = -1;
    const char* name = nullptr;
    const char* path = nullptr;
};

// The NUL-separated names. Returns 0 or the errno.
int listAttributeNames(const AttributeHost& host, std::string& names);

struct AttributeValue {
    int error = 0;      // 0, or the errno that refused it
    std::string bytes;  // the whole value when error is 0
    // The interface shows no more than `shownSize` bytes of it and will not
    // hand even those over (ntfs-3g caps at 64 KiB): the size is a lower bound.
    bool capped = false;
    std::size_t shownSize = 0;
};

AttributeValue readAttributeValue(const AttributeHost& host, const char* attribute);

}  // namespace streamscan

#include "engine/image/container.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/byte_order.h"
#include "engine/unicode.h"

namespace streamscan {
namespace {

// The name of segment `number` of an evidence set whose first segment is
// `first`: .E01 to .E99, then .EAA to .EZZ, .FAA and on, in the first's case.
std::string segmentName(const std::string& first, std::uint32_t number) {
    std::string name = first;
    const std::size_t at = name.size() - 3;
    if (number <= 99) {
        name[at + 1] = static_cast<char>('0' + number / 10);
        name[at + 2] = static_cast<char>('0' + number % 10);
        return name;
    }
    const std::uint32_t k = number - 100;
    const char base = name[at] >= 'a' ? 'a' : 'A';
    name[at] = static_cast<char>(name[at] + k / 676);
    name[at + 1] = static_cast<char>(base + k / 26 % 26);
    name[at + 2] = static_cast<char>(base + k % 26);
    return name;
}

// How an evidence segment ends: true for "done" (the set's last), false for
// "next" (another follows); nothing when its sections cannot be followed.
std::optional<bool> endsTheSet(const std::string& segment) {
    const int fd = open(segment.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<bool> last;
    // Sections follow the 13-byte file header; each starts with its type (16
    // bytes) and the offset of the next; "next" and "done" point at themselves.
    std::uint64_t at = 13;
    for (int step = 0; step < 1000000; ++step) {
        std::uint8_t section[24] = {};
        if (pread(fd, section, sizeof section, static_cast<off_t>(at)) !=
            static_cast<ssize_t>(sizeof section)) {
            break;
        }
        const std::string_view type(reinterpret_cast<const char*>(section), 5);
        if (type == std::string_view("done\0", 5) || type == std::string_view("next\0", 5)) {
            last = type[0] == 'd';
            break;
        }
        const std::uint64_t next = littleEndian(section + 16, 8);
        if (next <= at || next > (std::uint64_t{1} << 62)) {
            break;
        }
        at = next;
    }
    close(fd);
    return last;
}

}  // namespace

// The library reads the
// segments numbered on from the first that exist, so a gap or a lost last
// segment shows as a last one found that says another follows.
std::string missingSegment(const std::string& first) {
    if (first.size() < 4 || first[first.size() - 4] != '.' ||
        first.compare(first.size() - 2, 2, "01") != 0) {
        return {};
    }
    std::uint32_t number = 1;
    while (number < 14000 && access(segmentName(first, number + 1).c_str(), F_OK) == 0) {
        ++number;
    }
    const std::optional<bool> done = endsTheSet(segmentName(first, number));
    return done.has_value() && !*done ? segmentName(first, number + 1) : std::string();
}

std::u16string imagePathForm(std::u16string path) {
    std::u16string result;
    result.reserve(path.size());
    for (char16_t c : path) {
        if (c == u'/' && !result.empty() && result.back() == u'/') {
            continue;
        }
        result.push_back(c);
    }
    while (result.size() > 1 && result.back() == u'/') {
        result.pop_back();
    }
    return result;
}

TSK_IMG_TYPE_ENUM containerType(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return TSK_IMG_TYPE_DETECT;
    }
    char head[32] = {};
    char tail[8] = {};
    const bool readHead = pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head);
    const off_t end = lseek(fd, 0, SEEK_END);
    const bool readTail =
        end >= 512 && pread(fd, tail, sizeof tail, end - 512) == static_cast<ssize_t>(sizeof tail);
    close(fd);
    const std::string_view start(head, sizeof head);
    if (!readHead) {
        return TSK_IMG_TYPE_RAW;
    }
    if (start.substr(0, 4) == std::string_view("QFI\xfb", 4)) {
        return TSK_IMG_TYPE_EXTERNAL;
    }
    if (start.substr(0, 8) == std::string_view("EVF\x09\x0d\x0a\xff\x00", 8)) {
        return TSK_IMG_TYPE_EWF_EWF;
    }
    if (start.substr(0, 4) == "KDMV" || start.substr(0, 21) == "# Disk DescriptorFile") {
        return TSK_IMG_TYPE_VMDK_VMDK;
    }
    if (start.substr(0, 8) == "vhdxfile" || start.substr(0, 8) == "conectix" ||
        (readTail && std::string_view(tail, 8) == "conectix")) {
        return TSK_IMG_TYPE_VHD_VHD;
    }
    return TSK_IMG_TYPE_RAW;
}

std::u16string libraryError() {
    const char* text = tsk_error_get();
    std::u16string message = text == nullptr ? std::u16string() : decodeName(text);
    tsk_error_reset();
    for (char16_t& c : message) {
        if (c == u'\n' || c == u'\r') {
            c = u' ';
        }
    }
    while (!message.empty() && message.back() == u' ') {
        message.pop_back();
    }
    return message;
}

}  // namespace streamscan

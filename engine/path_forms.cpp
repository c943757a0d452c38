#include "engine/path_forms.h"

namespace streamscan {
namespace {

constexpr std::size_t kLongPathThreshold = 248;

bool isAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool startsWith(const std::u16string& text, std::u16string_view prefix) {
    return text.size() >= prefix.size() &&
           std::u16string_view(text).substr(0, prefix.size()) == prefix;
}

std::u16string withBackslashes(std::u16string text) {
    for (char16_t& c : text) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    return text;
}

// Length of the path without its run of trailing separators.
std::size_t lengthWithoutTrailingSeparators(const std::u16string& path, PathStyle style) {
    std::size_t n = path.size();
    while (n > 0 && isPathSeparator(path[n - 1], style)) {
        --n;
    }
    return n;
}

// Position of the last separator among the first n characters, or npos.
std::size_t lastSeparatorBefore(const std::u16string& path, std::size_t n, PathStyle style) {
    for (std::size_t i = n; i > 0; --i) {
        if (isPathSeparator(path[i - 1], style)) {
            return i - 1;
        }
    }
    return std::u16string::npos;
}

// Inside a disk image, the image and partition part (IMAGE//pN) is the root:
// its length, or npos for a path that has no such part.
std::size_t imageRootLength(const std::u16string& path) {
    const std::size_t marker = path.find(u"//");
    if (marker == std::u16string::npos || marker == 0) {
        return std::u16string::npos;
    }
    const std::size_t end = path.find(u'/', marker + 2);
    return end == std::u16string::npos ? path.size() : end;
}

}  // namespace

bool isPathSeparator(char16_t c, PathStyle style) {
    return c == u'/' || (style == PathStyle::windows && c == u'\\');
}

namespace {

// The `\\?\` form of an absolute drive or UNC path; any other path unchanged.
std::u16string prefixedForm(const std::u16string& path) {
    if (startsWith(path, u"\\\\?\\") || startsWith(path, u"\\\\.\\")) {
        return path;
    }
    if (startsWith(path, u"\\\\")) {
        return u"\\\\?\\UNC\\" + withBackslashes(path.substr(2));
    }
    if (path.size() >= 3 && isAsciiLetter(path[0]) && path[1] == u':' &&
        isPathSeparator(path[2], PathStyle::windows)) {
        return u"\\\\?\\" + withBackslashes(path);
    }
    return path;
}

}  // namespace

std::u16string longPathForm(const std::u16string& path, PathStyle style) {
    if (style != PathStyle::windows || path.size() < kLongPathThreshold) {
        return path;
    }
    return prefixedForm(path);
}

std::u16string verbatimPathForm(const std::u16string& path, PathStyle style) {
    return style == PathStyle::windows ? prefixedForm(path) : path;
}

std::u16string fullPathOf(const std::u16string& path, FileSystem& fs) {
    return fs.fullPath(path);
}

std::u16string trimTrailingSeparator(const std::u16string& path, PathStyle style) {
    std::u16string result = path;
    while (result.size() >= 2 && isPathSeparator(result.back(), style)) {
        const char16_t before = result[result.size() - 2];
        // A drive root (C:\) keeps its separator; so does a doubled one.
        if ((style == PathStyle::windows && before == u':') || isPathSeparator(before, style)) {
            break;
        }
        result.pop_back();
    }
    return result;
}

std::u16string parentPath(const std::u16string& path, PathStyle style) {
    if (path.empty()) {
        return {};
    }
    const std::size_t n = lengthWithoutTrailingSeparators(path, style);
    if (n == 0) {
        return path;
    }
    if (style == PathStyle::windows && n == 2 && path[1] == u':' && path.size() > 2) {
        return path;  // a drive root is its own parent
    }
    if (style == PathStyle::image && n <= imageRootLength(path)) {
        return path;  // so is a partition of an image
    }
    const std::size_t separator = lastSeparatorBefore(path, n, style);
    if (separator == std::u16string::npos) {
        return {};
    }
    const std::u16string head = path.substr(0, separator);
    const bool headIsDrive = style == PathStyle::windows && head.size() == 2 &&
                             isAsciiLetter(head[0]) && head[1] == u':';
    if (!head.empty() && !headIsDrive) {
        return head;
    }
    return path.substr(0, separator + 1);
}

std::u16string leafName(const std::u16string& path, PathStyle style) {
    if (path.empty()) {
        return {};
    }
    const std::size_t n = lengthWithoutTrailingSeparators(path, style);
    if (n == 0) {
        return path;
    }
    const std::size_t separator = lastSeparatorBefore(path, n, style);
    if (separator == std::u16string::npos) {
        return path.substr(0, n);
    }
    return path.substr(separator + 1, n - separator - 1);
}

std::pair<std::u16string, std::u16string> splitHostPath(const std::u16string& hostPath,
                                                        PathStyle style) {
    std::u16string folder = parentPath(hostPath, style);
    if (folder == hostPath) {
        return {std::move(folder), std::u16string()};
    }
    return {std::move(folder), leafName(hostPath, style)};
}

std::u16string joinPath(const std::u16string& folder, const std::u16string& name, PathStyle style) {
    std::u16string result;
    joinPathInto(result, folder, name, style);
    return result;
}

void joinPathInto(std::u16string& out, const std::u16string& folder, const std::u16string& name,
                  PathStyle style) {
    out.reserve(folder.size() + 1 + name.size());  // one allocation at most, none when reused
    out = folder;
    if (folder.empty() || name.empty()) {
        out += name;
        return;
    }
    while (out.size() > 1 && isPathSeparator(out.back(), style)) {
        out.pop_back();
    }
    if (!isPathSeparator(out.back(), style)) {
        out.push_back(style == PathStyle::windows ? u'\\' : u'/');
    }
    out += name;
}

std::u16string hostPathOf(const StreamRecord& record, PathStyle style) {
    return joinPath(record.hostFolder, record.hostName, style);
}

std::u16string streamPathOf(const std::u16string& hostPath, const std::u16string& name,
                            const std::u16string& type) {
    if (name.empty()) {
        return hostPath;
    }
    std::u16string result = hostPath;
    result += u':';
    result += name;
    result += u':';
    result += type.empty() ? std::u16string(u"$DATA") : type;
    return result;
}

std::u16string recordStreamPath(const StreamRecord& record, PathStyle style) {
    return streamPathOf(hostPathOf(record, style), record.streamName, record.streamType);
}

}  // namespace streamscan

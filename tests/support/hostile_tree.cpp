#include "support/hostile_tree.h"

#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace streamscan::hostile {
namespace {

constexpr std::string_view kSambaAttributes = "user.DOSATTRIB";

// A folder handle that closes itself.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd(other.fd) { other.fd = -1; }
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd = other.fd;
            other.fd = -1;
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    void reset() {
        if (fd >= 0) {
            ::close(fd);
        }
        fd = -1;
    }

  private:
    int fd;
};

std::string utf8(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return out;
}

std::string repeated(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

// Makes items relative to folder handles and counts them into the part being
// built. The first failure is kept; later calls do nothing.
class Builder {
  public:
    std::string error;

    bool ok() const { return error.empty(); }

    Fd folder(int parent, const std::string& name, Part* part) {
        if (!ok()) {
            return Fd();
        }
        if (mkdirat(parent, name.c_str(), 0755) != 0) {
            fail("mkdirat", name);
            return Fd();
        }
        Fd fd(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid()) {
            fail("openat", name);
        } else if (part != nullptr) {
            ++part->folders;
        }
        return fd;
    }

    // A file with the given content and, set before the mode is, its attributes.
    void file(int parent, const std::string& name, Part& part, const std::string& content = "x",
              const std::vector<std::pair<std::string, std::string>>& attributes = {},
              mode_t mode = 0644) {
        if (!ok()) {
            return;
        }
        Fd fd(openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     0644));
        if (!fd.valid()) {
            fail("create", name);
            return;
        }
        if (write(fd.get(), content.data(), content.size()) !=
            static_cast<ssize_t>(content.size())) {
            fail("write", name);
            return;
        }
        ++part.files;
        setAttributes(fd.get(), name, part, attributes);
        if (mode != 0644 && fchmod(fd.get(), mode) != 0) {
            fail("fchmod", name);
        }
    }

    void setAttributes(int fd, const std::string& name, Part& part,
                       const std::vector<std::pair<std::string, std::string>>& attributes) {
        for (const auto& [attribute, value] : attributes) {
            if (!ok()) {
                return;
            }
            if (fsetxattr(fd, attribute.c_str(), value.data(), value.size(), 0) != 0) {
                fail("fsetxattr " + attribute + " on", name);
                return;
            }
            if (attribute != kSambaAttributes) {
                ++part.streams;
            }
        }
    }

    void link(int parent, const std::string& name, const std::string& target, Part& part,
              bool toFolder) {
        if (!ok()) {
            return;
        }
        if (symlinkat(target.c_str(), parent, name.c_str()) != 0) {
            fail("symlinkat", name);
            return;
        }
        if (toFolder) {
            ++part.folders;
            ++part.folderLinks;
        } else {
            ++part.files;
        }
    }

    void mode(int parent, const std::string& name, mode_t mode) {
        if (ok() && fchmodat(parent, name.c_str(), mode, 0) != 0) {
            fail("fchmodat", name);
        }
    }

  private:
    void fail(const std::string& what, const std::string& name) {
        if (error.empty()) {
            error = what + " " + name + ": " + std::strerror(errno);
        }
    }
};

using Attributes = std::vector<std::pair<std::string, std::string>>;

void buildNames(Builder& b, int top, Part& part) {
    Fd here = b.folder(top, "names", nullptr);
    if (!here.valid()) {
        return;
    }
    const int fd = here.get();
    for (int c = 0x01; c <= 0x1F; ++c) {
        b.file(fd, "c0-" + std::string(1, static_cast<char>(c)) + "-end", part);
    }
    b.file(fd, "del-\x7f-end", part);
    for (char32_t c = 0x80; c <= 0x9F; ++c) {
        b.file(fd, "c1-utf8-" + utf8(c) + "-end", part);
        b.file(fd, "c1-raw-" + std::string(1, static_cast<char>(c)) + "-end", part);
    }
    // Names that are nothing but what a terminal or a list would swallow.
    for (const char* name : {"\n", "\r\n", "\t", " ", "-", "\x1b[2J", "<U+0041>", "a\\b"}) {
        b.file(fd, name, part);
    }
    // Direction overrides, isolates and marks, and characters that are invisible.
    for (const char32_t c : {0x202E, 0x202D, 0x202A, 0x202B, 0x202C, 0x2066, 0x2067, 0x2068, 0x2069,
                             0x061C, 0x200E, 0x200F, 0x200B, 0xFEFF, 0x2028}) {
        b.file(fd, "evil" + utf8(c) + "txt.exe", part);
    }
    // Invalid UTF-8: overlong, an encoded surrogate, above U+10FFFF, truncated,
    // stray continuation bytes, Latin-1, and a valid emoji cut in half.
    for (const char* name :
         {"over\xc0\xaflong", "sur\xed\xa0\x80rogate", "big\xf4\x90\x80\x80", "cut\xe2\x82",
          "\x80\xbf", "\xff\xfe", "caf\xe9", "\xf0\x9f\x98\x80\xf0\x9f"}) {
        b.file(fd, name, part, "content", {{"user.s", "on a broken name"}});
    }
    // Folders with hostile names, with something inside.
    for (const std::string& name :
         {std::string("dir\n"), std::string("dir\xff"), "dir" + utf8(0x202E) + "gpj.exe"}) {
        Fd inner = b.folder(fd, name, &part);
        if (inner.valid()) {
            b.file(inner.get(), "inside\x01" + utf8(0x9B), part, "x", {{"user.s", "inside"}});
        }
    }
}

void buildLongNames(Builder& b, int top, Part& part) {
    Fd here = b.folder(top, "long-names", nullptr);
    if (!here.valid()) {
        return;
    }
    const int fd = here.get();
    b.file(fd, std::string(255, 'a'), part);
    b.file(fd, repeated(utf8(0xE9), 127) + "x", part);      // 2-byte characters
    b.file(fd, repeated(utf8(0x20AC), 85), part);           // 3-byte characters
    b.file(fd, repeated(utf8(0x1F600), 63) + "xyz", part);  // 4-byte characters
    b.file(fd, std::string(255, '\xff'), part);             // raw bytes, none valid
    b.file(fd, repeated(utf8(0x202E), 85), part, "x", {{"user.s", "255 bytes of overrides"}});
    Fd inner = b.folder(fd, std::string(255, 'b'), &part);
    if (inner.valid()) {
        b.file(inner.get(), std::string(255, 'c'), part, "x", {{"user.s", "deep in long names"}});
    }
}

void buildLongPath(Builder& b, int top, Part& part) {
    Fd here = b.folder(top, "long-path", nullptr);
    for (int level = 0; level < HostileTree::kLongPathLevels && here.valid(); ++level) {
        b.file(here.get(), "f", part, "x", {{"user.s", "level " + std::to_string(level)}});
        const char letter = static_cast<char>('a' + level % 26);
        here = b.folder(here.get(), std::string(HostileTree::kLongPathNameBytes, letter), &part);
    }
    if (here.valid()) {
        b.file(here.get(), "f", part, "x", {{"user.s", "the bottom"}});
    }
}

void buildDeep(Builder& b, int top, Part& part) {
    Fd here = b.folder(top, "deep", nullptr);
    for (int level = 0; level < HostileTree::kDeepLevels && here.valid(); ++level) {
        b.file(here.get(), "f", part, "x", {{"user.s", std::to_string(level)}});
        here = b.folder(here.get(), "d", &part);
    }
    if (here.valid()) {
        b.file(here.get(), "f", part, "x", {{"user.s", "the bottom"}});
    }
}

void buildLinks(Builder& b, int top, const std::string& topPath, Part& part) {
    Fd here = b.folder(top, "links", nullptr);
    if (!here.valid()) {
        return;
    }
    const int fd = here.get();
    b.file(fd, "target.txt", part, "x", {{"user.s", "the real file"}});
    Fd sub = b.folder(fd, "sub", &part);
    if (sub.valid()) {
        b.file(sub.get(), "inner.txt", part, "x", {{"user.s", "the real folder"}});
    }
    b.link(fd, "up", "..", part, true);
    b.link(fd, "to-top", topPath, part, true);
    b.link(fd, "into-sub", "sub", part, true);
    b.link(fd, "self", "self", part, false);
    b.link(fd, "ping", "pong", part, false);
    b.link(fd, "pong", "ping", part, false);
    b.link(fd, "dangling", "missing/nowhere", part, false);
    b.link(fd, "to-file", "target.txt", part, false);
}

void buildLocked(Builder& b, int top, Part& part) {
    Fd here = b.folder(top, "locked", nullptr);
    if (!here.valid()) {
        return;
    }
    const int fd = here.get();
    b.file(fd, "no-read.txt", part, "secret", {{"user.s", "secret stream"}}, 0000);
    // Other users may do nothing here; the folder's own stream is refused too.
    Fd noAccess = b.folder(fd, "no-access", &part);
    if (noAccess.valid()) {
        b.setAttributes(noAccess.get(), "no-access", part, {{"user.s", "folder stream"}});
        b.file(noAccess.get(), "inside.txt", part, "x", {{"user.s", "inside"}});
    }
    b.mode(fd, "no-access", 0700);
    // Other users may enter and write but not list.
    Fd searchOnly = b.folder(fd, "search-only", &part);
    if (searchOnly.valid()) {
        b.file(searchOnly.get(), "inside.txt", part, "x", {{"user.s", "inside"}});
    }
    b.mode(fd, "search-only", 0703);
    // Other users may read the names but not look at the items.
    Fd namesOnly = b.folder(fd, "names-only", &part);
    if (namesOnly.valid()) {
        b.file(namesOnly.get(), "inside.txt", part, "x", {{"user.s", "inside"}});
    }
    b.mode(fd, "names-only", 0704);
}

void buildStreams(Builder& b, int top, Part& part) {
    Fd here = b.folder(top, "streams", nullptr);
    if (!here.valid()) {
        return;
    }
    const int fd = here.get();
    const std::string mz("MZ\x90\0\x03\0\0\0\x04\0\0\0\xff\xff\0\0\xb8", 17);
    const std::vector<std::pair<std::string, std::string>> hostile = {
        {"user.Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://evil" +
                                     utf8(0x202E) +
                                     "gpj.exe/\x01\x1b[2J\r\nReferrerUrl=\xff\xfe\r\n"},
        {"user.Zone.Identifier", std::string("\xff\xfe[\0Z\0", 6)},  // UTF-16 cut off mid-header
        {"user.Zone.Identifier", "ZoneId=-9223372036854775808"},
        {"user.evil" + utf8(0x202E) + "txt.exe", mz},
        {"user.\x01\x1f\x7f" + utf8(0x85), "controls"},
        {"user.caf\xe9\xff", "invalid UTF-8 name"},
        {"user.a:b", "a colon inside the name"},
        {"user.DosStream.samba:$DATA", std::string("samba form\0", 11)},
        {"user.DosStream.odd:$BITMAP", std::string("other type\0", 11)},
        {"user.DosStream.no colon", "plain form after all"},
        {"user." + std::string(250, 'n'), "longest attribute name"},
        {"user.empty", ""},
        {"user.zeros", std::string(64, '\0')},
        {"user.newline\nname", "line\r\nbreaks\r\n"},
        {"user.big", std::string(3000, 'B')},
    };
    int carrier = 0;
    for (const auto& attribute : hostile) {
        const std::string name = "carrier-" + std::to_string(carrier++);
        b.file(fd, name, part, "x", {attribute});
    }
    // DOSATTRIB is metadata, never a stream; a real stream beside it is.
    b.file(fd, "dosattrib", part, "x", {{"user.DOSATTRIB", "0x20"}, {"user.s", "beside"}});
    Fd folder = b.folder(fd, "folder-with-stream", &part);
    if (folder.valid()) {
        b.setAttributes(folder.get(), "folder-with-stream", part,
                        {{"user.Zone.Identifier", "[ZoneTransfer]\nZoneId=4\n"}});
    }
}

// Collects the names first: removing while reading a folder may skip entries.
bool removeContents(int fd) {
    const int listFd = dup(fd);
    if (listFd < 0) {
        return false;
    }
    DIR* dir = fdopendir(listFd);
    if (dir == nullptr) {
        ::close(listFd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(dir);
    bool ok = true;
    for (const std::string& name : names) {
        struct stat st;
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            fchmodat(fd, name.c_str(), 0700, 0);
            Fd inner(openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            ok = inner.valid() && removeContents(inner.get()) && ok;
            ok = unlinkat(fd, name.c_str(), AT_REMOVEDIR) == 0 && ok;
        } else {
            ok = unlinkat(fd, name.c_str(), 0) == 0 && ok;
        }
    }
    return ok;
}

// Opens the item at `path` inside `root` component by component, never through a
// link. `last` receives the handle of the folder that holds the item and `leaf`
// its name.
bool openParentBelow(const std::string& root, const std::string& path, Fd& last,
                     std::string& leaf) {
    if (path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 ||
        path[root.size()] != '/') {
        return false;
    }
    Fd current(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::size_t start = root.size() + 1;
    for (;;) {
        if (!current.valid()) {
            return false;
        }
        const std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) {
            leaf = path.substr(start);
            last = std::move(current);
            return !leaf.empty();
        }
        const std::string component = path.substr(start, slash - start);
        current = Fd(openat(current.get(), component.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        start = slash + 1;
    }
}

}  // namespace

HostileTree::~HostileTree() {
    if (!rootPath.empty()) {
        removeTree(rootPath);
    }
}

bool HostileTree::build(const std::string& parent, std::string& error) {
    const std::string top = parent + "/hostile";
    if (mkdir(top.c_str(), 0755) != 0) {
        error = "mkdir " + top + ": " + std::strerror(errno);
        return false;
    }
    rootPath = top;
    Fd topFd(open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!topFd.valid()) {
        error = "open " + top + ": " + std::strerror(errno);
        return false;
    }
    Builder b;
    buildNames(b, topFd.get(), names);
    buildLongNames(b, topFd.get(), longNames);
    buildLongPath(b, topFd.get(), longPath);
    buildDeep(b, topFd.get(), deep);
    buildLinks(b, topFd.get(), top, links);
    buildLocked(b, topFd.get(), locked);
    buildStreams(b, topFd.get(), streams);
    names.path = top + "/names";
    longNames.path = top + "/long-names";
    longPath.path = top + "/long-path";
    deep.path = top + "/deep";
    links.path = top + "/links";
    locked.path = top + "/locked";
    streams.path = top + "/streams";
    error = b.error;
    return b.ok();
}

std::vector<std::string> longPathFolders(const HostileTree& tree) {
    std::vector<std::string> folders;
    std::string path = tree.longPath.path;
    for (int level = 0; level < HostileTree::kLongPathLevels; ++level) {
        path +=
            "/" + std::string(HostileTree::kLongPathNameBytes, static_cast<char>('a' + level % 26));
        folders.push_back(path);
    }
    return folders;
}

bool lstatBelow(const std::string& root, const std::string& path, struct stat& st) {
    Fd parent;
    std::string leaf;
    return openParentBelow(root, path, parent, leaf) &&
           fstatat(parent.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool attributeBelow(const std::string& root, const std::string& path, const std::string& attribute,
                    std::string& value) {
    Fd parent;
    std::string leaf;
    if (!openParentBelow(root, path, parent, leaf)) {
        return false;
    }
    // O_PATH reaches the item without needing read permission on it; the
    // attribute is then read through the handle's /proc entry.
    Fd item(openat(parent.get(), leaf.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!item.valid()) {
        return false;
    }
    const std::string handlePath = "/proc/self/fd/" + std::to_string(item.get());
    const ssize_t size = getxattr(handlePath.c_str(), attribute.c_str(), nullptr, 0);
    if (size < 0) {
        return false;
    }
    value.assign(static_cast<std::size_t>(size), '\0');
    const ssize_t got = getxattr(handlePath.c_str(), attribute.c_str(), value.data(), value.size());
    if (got < 0) {
        return false;
    }
    value.resize(static_cast<std::size_t>(got));
    return true;
}

bool removeTree(const std::string& path) {
    chmod(path.c_str(), 0700);
    Fd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == ENOENT;
    }
    const bool emptied = removeContents(fd.get());
    fd.reset();
    return rmdir(path.c_str()) == 0 && emptied;
}

}  // namespace streamscan::hostile

#endif  // _WIN32

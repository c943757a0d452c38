// A tree on local disk made to break a scanner: names with every C0 and C1
// control (as UTF-8 and as raw bytes), direction overrides and invalid UTF-8,
// 255-byte names, a path far past PATH_MAX, 300 nested folders, symbolic-link
// loops, files and folders without permissions, and streams (user. attributes)
// with hostile names and values. Everything is made with the *at calls relative
// to folder handles, so no path length limit applies while building, and it is
// removed the same way when the tree goes out of scope.
#pragma once

#ifndef _WIN32

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

namespace streamscan::hostile {

// One folder directly under the tree's root, and what lies below it on disk.
struct Part {
    std::string path;         // the part's folder
    std::uint64_t files = 0;  // below it: items that are not folders, links to non-folders included
    std::uint64_t folders = 0;      // below it: folders, links to folders included
    std::uint64_t folderLinks = 0;  // symbolic links whose target is a folder
    std::uint64_t streams = 0;      // user. attributes that are streams (not user.DOSATTRIB)
};

class HostileTree {
  public:
    HostileTree() = default;
    ~HostileTree();
    HostileTree(const HostileTree&) = delete;
    HostileTree& operator=(const HostileTree&) = delete;

    // Builds the tree as `parent`/hostile. False with a reason when any piece
    // cannot be made (the folder's file system must take user. attributes).
    bool build(const std::string& parent, std::string& error);

    const std::string& root() const { return rootPath; }

    Part names;      // C0, DEL, C1 (UTF-8 and raw), direction marks, invalid UTF-8
    Part longNames;  // names of exactly 255 bytes in 1-, 2-, 3- and 4-byte characters and raw bytes
    Part longPath;   // folders of kLongPathNameBytes-byte names, kLongPathLevels deep, a file "f"
                     // with a stream in each
    Part deep;       // kDeepLevels nested folders "d"; a file "f" with a stream in every level
    Part links;    // links to an ancestor (relative and absolute), to itself, a pair that point at
                   // each other, dangling, to a file and to a sibling folder
    Part locked;   // files and folders refused to anyone but root
    Part streams;  // hostile attribute names and values, one carrier per attribute

    static constexpr int kLongPathLevels = 20;
    static constexpr std::size_t kLongPathNameBytes = 250;
    static constexpr int kDeepLevels = 300;

  private:
    std::string rootPath;
};

// Every path of the long-path part's folders, top first: they pass 4096 bytes.
std::vector<std::string> longPathFolders(const HostileTree& tree);

// lstat for a path inside `root` of any length: each component below the root is
// opened with O_NOFOLLOW, so this fails for a path that goes through a link.
bool lstatBelow(const std::string& root, const std::string& path, struct stat& st);

// The value of a user. attribute of an item inside `root`, any path length, no
// link followed. False when the item or the attribute is not there.
bool attributeBelow(const std::string& root, const std::string& path, const std::string& attribute,
                    std::string& value);

// Removes a folder and everything in it, whatever the path lengths and the
// permissions; links are removed, never followed.
bool removeTree(const std::string& path);

}  // namespace streamscan::hostile

#endif  // _WIN32

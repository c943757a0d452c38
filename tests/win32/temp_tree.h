// A real temporary folder for tests under Wine, built and checked without the port.
// Paths go in their \\?\ form, so "dir." and paths past MAX_PATH are reached as given.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace streamscan::wintest {

inline std::wstring prefixed(const std::u16string& path) {
    return L"\\\\?\\" + std::filesystem::path(path).wstring();
}

inline bool makeFolder(const std::u16string& path) {
    return CreateDirectoryW(prefixed(path).c_str(), nullptr) != 0;
}

inline bool writeBytes(const std::u16string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(prefixed(path)), std::ios::binary);
    return !(out << bytes << std::flush).fail();
}

// The whole content; nothing when the file cannot be read.
inline std::optional<std::string> readBytes(const std::u16string& path) {
    std::ifstream in(std::filesystem::path(prefixed(path)), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in a folder, without "." and ".."; none for a file.
inline std::vector<std::u16string> namesIn(const std::u16string& folder) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((prefixed(folder) + L"\\*").c_str(), &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found)) {
        const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
        if (name != u"." && name != u"..")
            names.push_back(name);
    }
    FindClose(find);
    return names;
}

inline void removeTree(const std::u16string& path) {
    for (const std::u16string& name : namesIn(path))
        removeTree(path + u"\\" + name);
    SetFileAttributesW(prefixed(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(prefixed(path).c_str()))
        RemoveDirectoryW(prefixed(path).c_str());
}

// A fresh, empty folder under the system's temporary folder, removed with all
// its content when the test ends.
class TempTree {
  public:
    TempTree() {
        wchar_t temp[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
        // The system picks an unused name and makes a file of it; a folder takes its place.
        if (!GetTempPathW(MAX_PATH + 1, temp) || !GetTempFileNameW(temp, L"tss", 0, name) ||
            !DeleteFileW(name) || !CreateDirectoryW(name, nullptr))
            ADD_FAILURE() << "no temporary folder";
        root = reinterpret_cast<const char16_t*>(name);
    }
    ~TempTree() { removeTree(root); }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::u16string& path() const { return root; }
    std::u16string operator/(const std::u16string& relative) const {
        return root + u"\\" + relative;
    }

  private:
    std::u16string root;
};

}  // namespace streamscan::wintest

// A real temporary folder for tests of the Win32 port, built and checked with
// kernel32 directly so that the port is never used to verify itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace streamscan::wintest {

inline const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Every helper path is a drive path, so the prefixed form is always valid and
// reaches paths past 260 characters.
inline std::u16string prefixed(const std::u16string& path) {
    return u"\\\\?\\" + path;
}

inline bool exists(const std::u16string& path) {
    return GetFileAttributesW(wide(prefixed(path))) != INVALID_FILE_ATTRIBUTES;
}

inline bool makeFolder(const std::u16string& path) {
    return CreateDirectoryW(wide(prefixed(path)), nullptr) != 0;
}

inline bool writeBytes(const std::u16string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(wide(prefixed(path)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                               &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// The whole content; false when the file cannot be read.
inline bool readBytes(const std::u16string& path, std::string& bytes) {
    bytes.clear();
    HANDLE file = CreateFileW(wide(prefixed(path)), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return ok;
}

inline void removeTree(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(wide(prefixed(path)));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    SetFileAttributesW(wide(prefixed(path)), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileW(wide(prefixed(path)));
        return;
    }
    std::vector<std::u16string> children;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(wide(prefixed(path + u"\\*")), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
            if (name != u"." && name != u"..") {
                children.push_back(path + u"\\" + name);
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    for (const auto& child : children) {
        removeTree(child);
    }
    RemoveDirectoryW(wide(prefixed(path)));
}

// A fresh, empty folder under the system's temporary folder, removed with all
// its content when the test ends.
class TempTree {
  public:
    TempTree() {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        std::u16string base(reinterpret_cast<const char16_t*>(temp), length);
        while (!base.empty() && base.back() == u'\\') {
            base.pop_back();
        }
        static unsigned counter = 0;
        for (unsigned attempt = 0; attempt < 1000; ++attempt) {
            const std::string suffix =
                std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
            std::u16string candidate = base + u"\\tessalin-test-";
            candidate.append(suffix.begin(), suffix.end());
            if (makeFolder(candidate)) {
                root = candidate;
                break;
            }
        }
    }
    ~TempTree() {
        if (!root.empty()) {
            removeTree(root);
        }
    }
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

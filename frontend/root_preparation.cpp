#include "frontend/root_preparation.h"

#include <string_view>

#include "engine/path_forms.h"
#include "engine/platform_text.h"
#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::PathStyle;

char16_t keySeparator(PathStyle style) {
    return style == PathStyle::windows ? u'\\' : u'/';
}

// Windows paths name the same item whatever the letter case; POSIX names do not.
bool sameKeyText(std::u16string_view a, std::u16string_view b, PathStyle style) {
    if (a.size() != b.size()) {
        return false;
    }
    return style == PathStyle::windows ? streamscan::ordinalEqualIgnoreCase(a, b) : a == b;
}

// True when the item `inner` names lies strictly below the one `outer` names.
bool liesInside(const std::u16string& inner, const std::u16string& outer, PathStyle style) {
    if (outer.empty() || outer.size() >= inner.size()) {
        return false;
    }
    if (!sameKeyText(std::u16string_view(inner).substr(0, outer.size()), outer, style)) {
        return false;
    }
    // A key that still ends in a separator is a root (C:\ or /) and contains
    // everything that starts with it; otherwise the next character must be a
    // separator, so C:\data2 is not inside C:\data.
    const char16_t separator = keySeparator(style);
    return outer.back() == separator || inner[outer.size()] == separator;
}

}  // namespace

std::u16string rootKey(const std::u16string& path, PathStyle style) {
    std::u16string key = path;
    const char16_t separator = keySeparator(style);
    if (style == PathStyle::windows) {
        for (char16_t& c : key) {
            if (c == u'/') {
                c = u'\\';
            }
        }
    }
    while (key.size() >= 2 && key.back() == separator) {
        if (style == PathStyle::windows && key.size() == 3 && key[1] == u':') {
            break;  // a drive root keeps its backslash
        }
        key.pop_back();
    }
    return key;
}

PreparedRoots prepareRoots(const std::vector<std::u16string>& locations,
                           streamscan::FileSystem& fs) {
    const PathStyle style = fs.pathStyle();
    PreparedRoots prepared;
    std::vector<std::u16string> keptKeys;
    prepared.roots.reserve(locations.size());
    keptKeys.reserve(locations.size());
    for (const std::u16string& location : locations) {
        std::u16string absolute = streamscan::fullPathOf(location, fs);
        std::u16string key = rootKey(absolute, style);
        bool duplicate = false;
        for (const std::u16string& kept : keptKeys) {
            if (sameKeyText(key, kept, style)) {
                duplicate = true;
                break;
            }
        }
        if (duplicate) {
            ++prepared.duplicates;
            continue;
        }
        prepared.roots.push_back(std::move(absolute));
        keptKeys.push_back(std::move(key));
    }
    for (std::size_t a = 0; a < keptKeys.size(); ++a) {
        for (std::size_t b = 0; b < keptKeys.size(); ++b) {
            if (a != b && liesInside(keptKeys[a], keptKeys[b], style)) {
                ++prepared.nested;
                break;
            }
        }
    }
    return prepared;
}

std::u16string rootListNote(std::uint64_t duplicates, std::uint64_t nested) {
    std::u16string note;
    if (duplicates > 0) {
        note += u" (";
        note += streamscan::countPhrase(duplicates, u"location was", u"locations were");
        note += u" named twice and scanned once)";
    }
    if (nested > 0) {
        note += u" (";
        note += streamscan::countPhrase(nested, u"location sits", u"locations sit");
        note += u" inside another, so some streams are listed twice)";
    }
    return note;
}

}  // namespace tessalin

#include "window/scan_choice_texts.h"

#include "engine/path_forms.h"
#include "engine/value_text.h"

namespace tessalin {

std::vector<std::u16string> openDialogSelection(std::u16string_view buffer,
                                                streamscan::PathStyle style) {
    std::vector<std::u16string> strings;
    std::size_t start = 0;
    while (start < buffer.size()) {
        const std::size_t end = buffer.find(u'\0', start);
        if (end == std::u16string_view::npos || end == start)
            break;
        strings.emplace_back(buffer.substr(start, end - start));
        start = end + 1;
    }
    if (strings.size() <= 1)
        return strings;

    std::vector<std::u16string> locations;
    locations.reserve(strings.size() - 1);
    for (std::size_t i = 1; i < strings.size(); ++i)
        locations.push_back(streamscan::joinPath(strings.front(), strings[i], style));
    return locations;
}

std::size_t retryBufferSize(std::uint16_t reportedSize, std::size_t oldSize) {
    std::size_t needed = reportedSize;
    while (needed <= oldSize)
        needed += 0x10000;
    return needed + 4096;
}

std::u16string fileDialogErrorText(std::uint32_t code) {
    return u"The file dialog could not be opened (error " + streamscan::decimalText(code) + u").";
}

std::u16string unresolvedDropText(std::uint64_t unresolved, std::uint64_t resolved) {
    std::u16string text = streamscan::countPhrase(unresolved, u"dropped item", u"dropped items");
    text += u" could not be resolved to a path on disk";
    if (resolved != 0) {
        text += u" and will not be scanned. The other ";
        text += streamscan::countPhrase(resolved, u"item is", u"items are");
        text += u" being scanned.";
    } else {
        text += u", so there is nothing here to scan.";
    }
    return text;
}

}  // namespace tessalin

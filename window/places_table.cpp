#include "window/places_table.h"

#include <algorithm>

#include "engine/display_escape.h"
#include "engine/not_examined.h"
#include "engine/platform_text.h"
#include "engine/value_text.h"

namespace tessalin {

PlacesTable::PlacesTable(const std::vector<streamscan::NotExaminedPlace>& places) {
    rows_.reserve(places.size());
    for (const streamscan::NotExaminedPlace& place : places) {
        rows_.push_back({streamscan::escapeForDisplay(place.path),
                         streamscan::escapeForDisplay(streamscan::notExaminedReason(place))});
    }
}

void PlacesTable::sortBy(int column) {
    if (column != 0 && column != 1)
        return;
    ascending_ = column == column_ ? !ascending_ : true;
    column_ = column;
    const auto key = [column](const PlaceRow& row, bool first) -> const std::u16string& {
        return (column == 0) == first ? row.place : row.reason;
    };
    std::stable_sort(rows_.begin(), rows_.end(), [&](const PlaceRow& a, const PlaceRow& b) {
        int result = streamscan::compareTextIgnoreCase(key(a, true), key(b, true));
        if (result == 0)
            result = streamscan::compareTextIgnoreCase(key(a, false), key(b, false));
        return ascending_ ? result < 0 : result > 0;
    });
}

std::u16string PlacesTable::copyText() const {
    std::u16string text;
    for (const PlaceRow& row : rows_) {
        if (!text.empty())
            text += u"\r\n";
        text += row.place;
        text += u'\t';
        text += row.reason;
    }
    return text;
}

std::u16string copiedPlacesText(std::uint64_t count) {
    return u"Copied " + streamscan::countPhrase(count, u"place", u"places") + u" to the clipboard.";
}

}  // namespace tessalin

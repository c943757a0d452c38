// The Not Examined dialog without a window: one row per place the last scan
// did not examine (Place, Reason, both in their escaped forms), its sort, and
// the text Copy puts on the clipboard.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan_types.h"

namespace tessalin {

inline constexpr std::u16string_view kPlacesDialogTitle = u"Not Examined";
inline constexpr std::u16string_view kPlaceColumn = u"Place";
inline constexpr std::u16string_view kReasonColumn = u"Reason";
inline constexpr std::u16string_view kCopyButtonText = u"&Copy";
inline constexpr std::u16string_view kCloseButtonText = u"Close";

struct PlaceRow {
    std::u16string place;   // the path, escaped for display
    std::u16string reason;  // escaped for display
};

class PlacesTable {
  public:
    explicit PlacesTable(const std::vector<streamscan::NotExaminedPlace>& places);

    const std::vector<PlaceRow>& rows() const { return rows_; }
    // 0 Place, 1 Reason (ties by the other column); a second sort by the same
    // column reverses the direction.
    void sortBy(int column);
    int sortColumn() const { return column_; }
    bool ascending() const { return ascending_; }
    // One line per row in the shown order, "place<TAB>reason", joined by CR LF.
    std::u16string copyText() const;

  private:
    std::vector<PlaceRow> rows_;
    int column_ = -1;
    bool ascending_ = true;
};

// "Copied N places to the clipboard."
std::u16string copiedPlacesText(std::uint64_t count);

}  // namespace tessalin

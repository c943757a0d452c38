#include "window/not_examined_box.h"

#include "engine/not_examined.h"
#include "frontend/delete_plan.h"
#include "window/handover.h"

namespace tessalin {

BoxMessage notExaminedBoxMessage(const std::vector<streamscan::NotExaminedPlace>& places,
                                 std::uint64_t placesNamed) {
    std::vector<std::u16string> lines;
    lines.reserve(places.size());
    for (const streamscan::NotExaminedPlace& place : places)
        lines.push_back(streamscan::notExaminedPlaceText(place));
    // A message box copies its whole text with Ctrl+C, which is how the list
    // leaves the window for a rescan with more rights.
    BoxMessage message;
    message.text = u"The last scan did not examine these places (Ctrl+C copies this list):\n";
    message.text += nameListText(lines, kKeptPlaceLimit, placesNamed);
    message.style = kInformationBox;
    return message;
}

}  // namespace tessalin

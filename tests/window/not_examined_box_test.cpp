#include "window/not_examined_box.h"

#include <gtest/gtest.h>

#include "engine/not_examined.h"
#include "frontend/delete_plan.h"
#include "window/handover.h"

namespace tessalin {
namespace {

using streamscan::NotExaminedPlace;
using streamscan::PlaceKind;

TEST(NotExaminedBox, OneEscapedLinePerPlaceAndALineForThoseNotKept) {
    const std::vector<NotExaminedPlace> two = {
        {u"C:\\data\\\x1b[2Jx", PlaceKind::accessDenied, 5},
        {u"C:\\data\\link", PlaceKind::linkNotFollowed, 0},
    };
    const BoxMessage message = notExaminedBoxMessage(two, 2);
    EXPECT_EQ(message.text,
              u"The last scan did not examine these places (Ctrl+C copies this list):\n\n    " +
                  streamscan::notExaminedPlaceText(two[0]) + u"\n    " +
                  streamscan::notExaminedPlaceText(two[1]));
    EXPECT_EQ(message.text.find(u'\x1b'), std::u16string::npos);
    EXPECT_EQ(message.style, kInformationBox);

    // The window keeps the first thousand; the box counts the rest.
    const std::vector<NotExaminedPlace> kept(kKeptPlaceLimit, {u"/x", PlaceKind::listFailed, 21});
    const std::u16string many = notExaminedBoxMessage(kept, kKeptPlaceLimit + 1234).text;
    EXPECT_TRUE(many.ends_with(u"\n    " + streamscan::notExaminedPlaceText(kept.back()) +
                               nameListText({}, 0, 1234)));
    std::size_t lines = 0;
    for (const char16_t c : many)
        lines += c == u'\n' ? 1 : 0;
    EXPECT_EQ(lines, 1 + kKeptPlaceLimit + 1);
}

}  // namespace
}  // namespace tessalin

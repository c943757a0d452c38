#include "window/not_examined_box.h"

#include <gtest/gtest.h>

#include "engine/not_examined.h"
#include "frontend/delete_plan.h"

namespace tessalin {
namespace {

using streamscan::NotExaminedPlace;
using streamscan::PlaceKind;

TEST(NotExaminedBox, OneEscapedLinePerKeptPlaceAndALineForThoseNotKept) {
    const std::vector<NotExaminedPlace> two = {
        {u"C:\\data\\\x1b[2Jx", PlaceKind::accessDenied, 5},
        {u"C:\\data\\link", PlaceKind::linkNotFollowed, 0},
    };
    const std::u16string head =
        u"The last scan did not examine these places (Ctrl+C copies this list):\n";
    const std::u16string lines = u"\n    " + streamscan::notExaminedPlaceText(two[0]) + u"\n    " +
                                 streamscan::notExaminedPlaceText(two[1]);
    const BoxMessage message = notExaminedBoxMessage(two, 2);
    EXPECT_EQ(message.text, head + lines);
    EXPECT_EQ(message.text.find(u'\x1b'), std::u16string::npos);
    EXPECT_EQ(message.style, kInformationBox);
    EXPECT_EQ(notExaminedBoxMessage(two, 1236).text, head + lines + nameListText({}, 0, 1234));
}

}  // namespace
}  // namespace tessalin

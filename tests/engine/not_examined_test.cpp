#include "engine/not_examined.h"

#include <gtest/gtest.h>

#include "engine/removal.h"
#include "engine/unicode.h"

namespace streamscan {
namespace {

TEST(NotExaminedReason, KindsWithoutAnErrorSayWhatHappenedAndErrorsKeepTheirCode) {
    struct Case {
        PlaceKind kind;
        std::uint32_t error;
        std::u16string reason;
    };
    const Case cases[] = {
        {PlaceKind::depthLimit, 0, u"more than 255 levels below its root, not listed"},
        {PlaceKind::linkNotFollowed, 0, u"link not followed"},
        {PlaceKind::volumeWithoutStreams, 0, u"volume cannot hold alternate data streams"},
        {PlaceKind::cancelled, 0, u"the scan was stopped here"},
        {PlaceKind::unreadableStream, 0, u"could not be read whole"},
        {PlaceKind::listFailed, 0, u"stopped by an unexpected error"},
        // A missing stream is what the error table means by 2; a missing root is not a stream.
        {PlaceKind::unreadableStream, 2, WindowsErrorText(2)},
        {PlaceKind::listFailed, 2, u"Not found (2)"},
        {PlaceKind::accessDenied, 2, u"Not found (2)"},
        {PlaceKind::listFailed, 8, u"Not enough memory (8)"},
        {PlaceKind::accessDenied, 5, WindowsErrorText(5)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(notExaminedReason({u"/x", c.kind, c.error}), c.reason)
            << static_cast<int>(c.kind) << " " << c.error << ": " << utf8ForDisplay(c.reason);
    }
}

}  // namespace
}  // namespace streamscan

#include "window/scan_choice_texts.h"

#include <gtest/gtest.h>

#include "engine/value_text.h"

namespace tessalin {
namespace {

using namespace std::string_view_literals;
using Paths = std::vector<std::u16string>;

TEST(OpenDialogSelection, ReadsOneFileOrAFolderWithNamesAndTrustsNoStringWithoutItsNul) {
    const struct {
        std::u16string_view buffer;
        Paths expected;
    } cases[] = {
        {u"C:\\data\\a.txt\0\0\0\0"sv, {u"C:\\data\\a.txt"}},
        {u"C:\\data\0c.txt\0a b.txt\0\0"sv, {u"C:\\data\\c.txt", u"C:\\data\\a b.txt"}},
        {u"D:\\\0x.bin\0\0"sv, {u"D:\\x.bin"}},  // no second separator in a drive root
        {u"\0\0\0"sv, {}},
        {u"C:\\data\\abc"sv, {}},
        {u"C:\\data\0a.txt\0b.t"sv, {u"C:\\data\\a.txt"}},
        {u"C:\\d\0a\0\0stale\0\0"sv, {u"C:\\d\\a"}},  // the strings end at the first empty one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(openDialogSelection(c.buffer, streamscan::PathStyle::windows), c.expected);
    }
    EXPECT_EQ(openDialogSelection(u"/srv\0a\0b\0\0"sv, streamscan::PathStyle::posix),
              (Paths{u"/srv/a", u"/srv/b"}));
}

TEST(OpenDialogRetry, MakesRoomForTheNeedTheDialogReported) {
    const struct {
        std::uint16_t reported;
        std::size_t oldSize, expected;
    } cases[] = {
        {30000, 20000, 34096},        {20001, 20000, 24097},
        {4464, 65536, 74096},  // a need of 70000 arrives as its low 16 bits
        {0, 65536, 135168},           {65535, 65536, 135167},
        {20000, 20000, 85536 + 4096},  // a report equal to the old size has lost its high part
        {100, 150000, 196708 + 4096},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(retryBufferSize(c.reported, c.oldSize), c.expected) << c.reported;
    }
}

TEST(ScanChoiceTexts, SayWhatCouldNotBeUsed) {
    EXPECT_EQ(fileDialogErrorText(0xFFFFFFFFu),
              u"The file dialog could not be opened (error 4294967295).");
    const std::u16string unresolved =
        u" could not be resolved to a path on disk and will not be scanned. The other ";
    EXPECT_EQ(unresolvedDropText(1, 1),
              u"1 dropped item" + unresolved + u"1 item is being scanned.");
    EXPECT_EQ(unresolvedDropText(3, 1500), u"3 dropped items" + unresolved +
                                               streamscan::groupedNumber(1500) +
                                               u" items are being scanned.");
    EXPECT_EQ(unresolvedDropText(2, 0),
              u"2 dropped items could not be resolved to a path on disk, "
              u"so there is nothing here to scan.");
}

}  // namespace
}  // namespace tessalin

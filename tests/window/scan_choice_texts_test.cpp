#include "window/scan_choice_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::PathStyle;
using namespace std::string_view_literals;

TEST(OpenDialogSelection, ReadsOneFileOrAFolderWithNames) {
    const struct {
        const char* what;
        std::u16string_view buffer;
        PathStyle style;
        std::vector<std::u16string> expected;
    } cases[] = {
        {"one file is its full path",
         u"C:\\data\\a.txt\0\0\0\0"sv,
         PathStyle::windows,
         {u"C:\\data\\a.txt"}},
        {"a folder and three names, in the dialog's order",
         u"C:\\data\0c.txt\0a.txt\0b b.txt\0\0"sv,
         PathStyle::windows,
         {u"C:\\data\\c.txt", u"C:\\data\\a.txt", u"C:\\data\\b b.txt"}},
        {"names in a drive root get no second separator",
         u"D:\\\0x.bin\0y.bin\0\0"sv,
         PathStyle::windows,
         {u"D:\\x.bin", u"D:\\y.bin"}},
        {"nothing chosen", u"\0\0\0"sv, PathStyle::windows, {}},
        {"a path that fills the buffer without its NUL is dropped",
         u"C:\\data\\abc"sv,
         PathStyle::windows,
         {}},
        {"a last name cut off by the buffer's end is dropped",
         u"C:\\data\0a.txt\0b.t"sv,
         PathStyle::windows,
         {u"C:\\data\\a.txt"}},
        {"the strings stop at the first empty one",
         u"C:\\d\0a\0\0stale\0\0"sv,
         PathStyle::windows,
         {u"C:\\d\\a"}},
        {"posix paths join with a slash",
         u"/srv/share\0a\0b\0\0"sv,
         PathStyle::posix,
         {u"/srv/share/a", u"/srv/share/b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(openDialogSelection(c.buffer, c.style), c.expected) << c.what;
    }
}

TEST(OpenDialogRetry, MakesRoomForTheNeedTheDialogReported) {
    const struct {
        std::uint16_t reported;
        std::size_t oldSize;
        std::size_t expected;
    } cases[] = {
        // The need fits in the report: it, and 4096 more.
        {30000, 20000, 34096},
        {20001, 20000, 24097},
        // A need beyond 65535 arrives as its low 16 bits: 70000 reads as 4464.
        {4464, 65536, 74096},
        {0, 65536, 135168},
        {65535, 65536, 135167},
        // A report equal to the old size cannot be the whole need either.
        {20000, 20000, 85536 + 4096},
        // From a larger buffer, the first size of that form beyond it.
        {100, 150000, 196708 + 4096},
    };
    for (const auto& c : cases) {
        const std::size_t size = retryBufferSize(c.reported, c.oldSize);
        EXPECT_EQ(size, c.expected) << c.reported << " of " << c.oldSize;
        EXPECT_GT(size, c.oldSize);
        EXPECT_EQ((size - 4096) % 0x10000, c.reported);
    }
}

TEST(ScanChoiceTexts, SayWhatCouldNotBeUsed) {
    EXPECT_EQ(fileDialogErrorText(12291), u"The file dialog could not be opened (error 12291).");
    EXPECT_EQ(fileDialogErrorText(0xFFFFFFFFu),
              u"The file dialog could not be opened (error 4294967295).");

    EXPECT_EQ(unresolvedDropText(1, 2),
              u"1 dropped item could not be resolved to a path on disk and will not be "
              u"scanned. The other 2 items are being scanned.");
    EXPECT_EQ(unresolvedDropText(2, 0),
              u"2 dropped items could not be resolved to a path on disk, so there is nothing "
              u"here to scan.");
    EXPECT_EQ(unresolvedDropText(3, 1),
              u"3 dropped items could not be resolved to a path on disk and will not be "
              u"scanned. The other 1 item is being scanned.");
    // Counts carry the user's thousands separator.
    EXPECT_EQ(unresolvedDropText(1, 1500),
              u"1 dropped item could not be resolved to a path on disk and will not be "
              u"scanned. The other " +
                  streamscan::groupedNumber(1500) + u" items are being scanned.");
}

}  // namespace
}  // namespace tessalin

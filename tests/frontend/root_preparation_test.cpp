#include "frontend/root_preparation.h"

#include <gtest/gtest.h>

#include "engine/value_text.h"
#include "support/fake_file_system.h"

namespace tessalin {
namespace {

using streamscan::PathStyle;
using Paths = std::vector<std::u16string>;

constexpr PathStyle kWin = PathStyle::windows;
constexpr PathStyle kPosix = PathStyle::posix;

TEST(PrepareRoots, MakesLocationsAbsoluteDropsDuplicatesAndCountsNestedRoots) {
    const struct {
        PathStyle style;
        Paths locations, roots;
        std::uint64_t duplicates, nested;
    } cases[] = {
        // The first spelling wins; case folds only on Windows.
        {kWin, {u"c:\\D\\", u"C:\\d"}, {u"c:\\D\\"}, 1, 0},
        {kWin, {u"C:\\D\\s", u"C:\\d"}, {u"C:\\D\\s", u"C:\\d"}, 0, 1},
        {kWin, {u"C:\\d", u"C:\\d\\s", u"c:\\d\\S\\"}, {u"C:\\d", u"C:\\d\\s"}, 1, 1},
        {kWin, {u"\\\\h\\s", u"\\\\H\\S\\", u"\\\\h\\s\\x"}, {u"\\\\h\\s", u"\\\\h\\s\\x"}, 1, 1},
        {kWin, {u"d", u"C:\\W\\d", u"d\\s"}, {u"C:\\w\\d", u"C:\\w\\d\\s"}, 1, 1},
        {kPosix, {u"/d", u"/d/", u"/D/s", u"/d\\s"}, {u"/d", u"/D/s", u"/d\\s"}, 1, 0},
        {kPosix, {u"/", u"/h", u"//"}, {u"/", u"/h"}, 1, 1},
        {kPosix, {u"/m/c:/", u"/m/c:", u"/m/c:/x"}, {u"/m/c:/", u"/m/c:/x"}, 1, 1},
    };
    for (const auto& c : cases) {
        streamscan::FakeFileSystem fs(c.style);
        fs.setCurrentFolder(c.style == kWin ? u"C:\\w" : u"/h/u");
        const PreparedRoots prepared = prepareRoots(c.locations, fs);
        EXPECT_EQ(prepared.roots, c.roots);
        EXPECT_EQ(prepared.duplicates, c.duplicates);
        EXPECT_EQ(prepared.nested, c.nested);
    }
}

TEST(RootListNote, NamesDuplicatesAndNestingWithCountPhrases) {
    const std::u16string inside =
        u" (1 location sits inside another, so some streams are listed twice)";
    const struct {
        std::uint64_t duplicates, nested;
        std::u16string note;
    } cases[] = {
        {1, 1, u" (1 location was named twice and scanned once)" + inside},
        {1234, 0,
         u" (" + streamscan::groupedNumber(1234) +
             u" locations were named twice and scanned once)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rootListNote(c.duplicates, c.nested), c.note);
    }
}

}  // namespace
}  // namespace tessalin

#include "frontend/root_preparation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/value_text.h"
#include "support/fake_file_system.h"

namespace tessalin {
namespace {

using streamscan::FakeFileSystem;
using streamscan::PathStyle;

TEST(RootKey, DropsTrailingSeparatorsButKeepsTheRoot) {
    struct Case {
        PathStyle style;
        std::u16string path;
        std::u16string key;
    } cases[] = {
        {PathStyle::windows, u"C:\\", u"C:\\"},
        {PathStyle::windows, u"C:/", u"C:\\"},
        {PathStyle::windows, u"C:\\\\", u"C:\\"},
        {PathStyle::windows, u"D:\\data\\", u"D:\\data"},
        {PathStyle::windows, u"D:/data//", u"D:\\data"},
        {PathStyle::windows, u"\\\\server\\share\\", u"\\\\server\\share"},
        {PathStyle::windows, u"\\", u"\\"},
        {PathStyle::windows, u"", u""},
        {PathStyle::posix, u"/", u"/"},
        {PathStyle::posix, u"//", u"/"},
        {PathStyle::posix, u"/data/", u"/data"},
        {PathStyle::posix, u"/data\\", u"/data\\"},  // a backslash is part of a POSIX name
        {PathStyle::posix, u"/mnt/c:/", u"/mnt/c:"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rootKey(c.path, c.style), c.key);
    }
}

struct PrepareCase {
    const char* label;
    PathStyle style;
    std::vector<std::u16string> locations;
    std::vector<std::u16string> roots;
    std::uint64_t duplicates;
    std::uint64_t nested;
};

TEST(PrepareRoots, DropsDuplicatesAndCountsNestedRoots) {
    const PrepareCase cases[] = {
        {"same folder in two spellings",
         PathStyle::windows,
         {u"C:\\data", u"c:\\DATA\\"},
         {u"C:\\data"},
         1,
         0},
        {"first spelling wins",
         PathStyle::windows,
         {u"c:\\DATA\\", u"C:\\data"},
         {u"c:\\DATA\\"},
         1,
         0},
        {"forward slashes", PathStyle::windows, {u"C:\\data", u"C:/data/"}, {u"C:\\data"}, 1, 0},
        {"nested is kept and counted",
         PathStyle::windows,
         {u"C:\\data", u"C:\\data\\sub"},
         {u"C:\\data", u"C:\\data\\sub"},
         0,
         1},
        {"inner named first",
         PathStyle::windows,
         {u"C:\\DATA\\sub", u"C:\\data"},
         {u"C:\\DATA\\sub", u"C:\\data"},
         0,
         1},
        {"shared prefix is not nesting",
         PathStyle::windows,
         {u"C:\\data", u"C:\\data2"},
         {u"C:\\data", u"C:\\data2"},
         0,
         0},
        {"two drive roots", PathStyle::windows, {u"C:\\", u"D:\\"}, {u"C:\\", u"D:\\"}, 0, 0},
        {"everything on a drive lies inside its root",
         PathStyle::windows,
         {u"C:\\", u"c:\\data", u"D:\\data"},
         {u"C:\\", u"c:\\data", u"D:\\data"},
         0,
         1},
        {"inside two roots counts once",
         PathStyle::windows,
         {u"C:\\", u"C:\\data", u"C:\\data\\x"},
         {u"C:\\", u"C:\\data", u"C:\\data\\x"},
         0,
         2},
        {"duplicate and nesting together",
         PathStyle::windows,
         {u"C:\\data", u"C:\\data\\sub", u"c:\\data\\SUB\\"},
         {u"C:\\data", u"C:\\data\\sub"},
         1,
         1},
        {"UNC shares",
         PathStyle::windows,
         {u"\\\\server\\share", u"\\\\SERVER\\Share\\", u"\\\\server\\share\\x",
          u"\\\\server\\share2"},
         {u"\\\\server\\share", u"\\\\server\\share\\x", u"\\\\server\\share2"},
         1,
         1},
        {"case makes two POSIX names",
         PathStyle::posix,
         {u"/data/a.txt", u"/data/A.txt"},
         {u"/data/a.txt", u"/data/A.txt"},
         0,
         0},
        {"POSIX trailing slash", PathStyle::posix, {u"/data", u"/data/"}, {u"/data"}, 1, 0},
        {"POSIX nesting",
         PathStyle::posix,
         {u"/data", u"/data/sub"},
         {u"/data", u"/data/sub"},
         0,
         1},
        {"POSIX case does not nest",
         PathStyle::posix,
         {u"/data", u"/Data/sub"},
         {u"/data", u"/Data/sub"},
         0,
         0},
        {"POSIX shared prefix",
         PathStyle::posix,
         {u"/data", u"/data2"},
         {u"/data", u"/data2"},
         0,
         0},
        {"POSIX root holds everything",
         PathStyle::posix,
         {u"/", u"/home", u"//"},
         {u"/", u"/home"},
         1,
         1},
        {"backslash is no POSIX separator",
         PathStyle::posix,
         {u"/data", u"/data\\sub"},
         {u"/data", u"/data\\sub"},
         0,
         0},
        {"nothing named", PathStyle::windows, {}, {}, 0, 0},
    };
    for (const auto& c : cases) {
        FakeFileSystem fs(c.style);
        const PreparedRoots prepared = prepareRoots(c.locations, fs);
        EXPECT_EQ(prepared.roots, c.roots) << c.label;
        EXPECT_EQ(prepared.duplicates, c.duplicates) << c.label;
        EXPECT_EQ(prepared.nested, c.nested) << c.label;
    }
}

TEST(PrepareRoots, MakesRelativeLocationsAbsoluteBeforeComparing) {
    FakeFileSystem windows(PathStyle::windows);
    windows.setCurrentFolder(u"C:\\work");
    PreparedRoots prepared = prepareRoots({u"data", u"C:\\WORK\\data", u"data\\sub"}, windows);
    EXPECT_EQ(prepared.roots,
              (std::vector<std::u16string>{u"C:\\work\\data", u"C:\\work\\data\\sub"}));
    EXPECT_EQ(prepared.duplicates, 1u);
    EXPECT_EQ(prepared.nested, 1u);

    FakeFileSystem posix(PathStyle::posix);
    posix.setCurrentFolder(u"/home/u");
    prepared = prepareRoots({u"docs", u"/home/u/docs/"}, posix);
    EXPECT_EQ(prepared.roots, std::vector<std::u16string>{u"/home/u/docs"});
    EXPECT_EQ(prepared.duplicates, 1u);
}

TEST(RootListNote, NamesDuplicatesAndNestingWithCountPhrases) {
    const std::u16string twice = u" (1 location was named twice and scanned once)";
    const std::u16string inside =
        u" (1 location sits inside another, so some streams are listed twice)";
    struct Case {
        std::uint64_t duplicates;
        std::uint64_t nested;
        std::u16string note;
    } cases[] = {
        {0, 0, u""},
        {1, 0, twice},
        {2, 0, u" (2 locations were named twice and scanned once)"},
        {0, 1, inside},
        {0, 3, u" (3 locations sit inside another, so some streams are listed twice)"},
        {1, 1, twice + inside},
        {1234, 0,
         u" (" + streamscan::groupedNumber(1234) +
             u" locations were named twice and scanned once)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rootListNote(c.duplicates, c.nested), c.note) << c.duplicates << "/" << c.nested;
    }
}

}  // namespace
}  // namespace tessalin

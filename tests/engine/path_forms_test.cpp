#include "engine/path_forms.h"

#include <gtest/gtest.h>

#include <string>

namespace streamscan {
namespace {

constexpr PathStyle kWin = PathStyle::windows;
constexpr PathStyle kPosix = PathStyle::posix;
constexpr PathStyle kImage = PathStyle::image;

// A drive path of exactly `length` characters: C:\ followed by x's.
std::u16string drivePathOfLength(std::size_t length, char16_t separator = u'\\') {
    std::u16string path = u"C:";
    path += separator;
    path.append(length - path.size(), u'x');
    return path;
}

TEST(LongPathForm, PrefixesOnlyLongAbsoluteWindowsPaths) {
    const std::u16string x236(236, u'x');  // with the heads below: 248 characters
    struct Case {
        const char* label;
        std::u16string path;
        std::u16string expected;
    };
    const Case cases[] = {
        {"247 unchanged", drivePathOfLength(247), drivePathOfLength(247)},
        {"248 prefixed", drivePathOfLength(248), u"\\\\?\\" + drivePathOfLength(248)},
        {"short keeps slashes", u"C:/a/b", u"C:/a/b"},
        {"long slashes turned", u"C:/" + x236 + u"/a/bcdefgh",
         u"\\\\?\\C:\\" + x236 + u"\\a\\bcdefgh"},
        {"lower-case drive", u"d:\\" + std::u16string(245, u'y'),
         u"\\\\?\\d:\\" + std::u16string(245, u'y')},
        {"UNC", u"\\\\server\\share\\" + x236, u"\\\\?\\UNC\\server\\share\\" + x236},
        {"UNC with slashes", u"\\\\server/share/" + x236, u"\\\\?\\UNC\\server\\share\\" + x236},
        {"already long", u"\\\\?\\C:/" + std::u16string(250, u'z'),
         u"\\\\?\\C:/" + std::u16string(250, u'z')},
        {"device form", u"\\\\.\\C:/" + std::u16string(250, u'z'),
         u"\\\\.\\C:/" + std::u16string(250, u'z')},
        {"relative", std::u16string(260, u'r'), std::u16string(260, u'r')},
        {"one leading separator", u"\\" + std::u16string(260, u'r'),
         u"\\" + std::u16string(260, u'r')},
        {"two forward slashes", u"//server/" + std::u16string(260, u'r'),
         u"//server/" + std::u16string(260, u'r')},
        {"drive without separator", u"C:" + std::u16string(260, u'r'),
         u"C:" + std::u16string(260, u'r')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(longPathForm(c.path, kWin), c.expected) << c.label;
    }
}

TEST(LongPathForm, PosixPathsAreNeverChanged) {
    const std::u16string deep = u"/" + std::u16string(400, u'p');
    EXPECT_EQ(longPathForm(deep, kPosix), deep);
    const std::u16string driveLike = u"C:/" + std::u16string(300, u'p');
    EXPECT_EQ(longPathForm(driveLike, kPosix), driveLike);
}

TEST(VerbatimPathForm, PrefixesEveryAbsoluteWindowsPathWhateverItsLength) {
    struct Case {
        std::u16string path;
        PathStyle style;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"C:\\x\\dir.\\f.txt:s:$DATA", kWin, u"\\\\?\\C:\\x\\dir.\\f.txt:s:$DATA"},
        {u"c:/x/con", kWin, u"\\\\?\\c:\\x\\con"},
        {u"C:\\", kWin, u"\\\\?\\C:\\"},
        {u"\\\\server\\share\\trail ", kWin, u"\\\\?\\UNC\\server\\share\\trail "},
        {u"\\\\?\\C:\\nul.txt", kWin, u"\\\\?\\C:\\nul.txt"},
        {u"\\\\.\\COM1", kWin, u"\\\\.\\COM1"},
        {u"relative\\dir.", kWin, u"relative\\dir."},
        {u"C:", kWin, u"C:"},
        {u"", kWin, u""},
        {u"C:/x/dir.", kPosix, u"C:/x/dir."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(verbatimPathForm(c.path, c.style), c.expected)
            << std::string(c.path.begin(), c.path.end());
    }
}

TEST(TrimTrailingSeparator, DropsSeparatorsThatCanGo) {
    struct Case {
        std::u16string path;
        PathStyle style;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"C:\\", kWin, u"C:\\"},
        {u"C:/", kWin, u"C:/"},
        {u"D:\\data\\", kWin, u"D:\\data"},
        {u"D:\\data/", kWin, u"D:\\data"},
        {u"C:\\a.txt\\", kWin, u"C:\\a.txt"},
        {u"\\\\server\\share\\", kWin, u"\\\\server\\share"},
        {u"C:\\dir\\\\", kWin, u"C:\\dir\\\\"},
        {u"\\", kWin, u"\\"},
        {u"", kWin, u""},
        {u"/", kPosix, u"/"},
        {u"/home/a/", kPosix, u"/home/a"},
        {u"/home/a\\", kPosix, u"/home/a\\"},
        {u"/mnt/c:/", kPosix, u"/mnt/c:"},
        {u"/home//", kPosix, u"/home//"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trimTrailingSeparator(c.path, c.style), c.expected)
            << std::string(c.path.begin(), c.path.end());
    }
}

struct SplitCase {
    std::u16string path;
    PathStyle style;
    std::u16string parent;
    std::u16string leaf;
    std::u16string hostFolder;
    std::u16string hostName;
};

TEST(SplitHostPath, SplitsIntoFolderAndLeaf) {
    const SplitCase cases[] = {
        {u"C:\\", kWin, u"C:\\", u"C:", u"C:\\", u""},
        {u"C:\\a.txt", kWin, u"C:\\", u"a.txt", u"C:\\", u"a.txt"},
        {u"C:/a.txt", kWin, u"C:/", u"a.txt", u"C:/", u"a.txt"},
        {u"C:\\dir\\a.txt", kWin, u"C:\\dir", u"a.txt", u"C:\\dir", u"a.txt"},
        {u"C:\\dir\\sub\\", kWin, u"C:\\dir", u"sub", u"C:\\dir", u"sub"},
        {u"\\\\server\\share", kWin, u"\\\\server", u"share", u"\\\\server", u"share"},
        {u"\\\\server\\share\\a.txt", kWin, u"\\\\server\\share", u"a.txt", u"\\\\server\\share",
         u"a.txt"},
        {u"\\a", kWin, u"\\", u"a", u"\\", u"a"},
        {u"a.txt", kWin, u"", u"a.txt", u"", u"a.txt"},
        {u"\\\\", kWin, u"\\\\", u"\\\\", u"\\\\", u""},
        {u"", kWin, u"", u"", u"", u""},
        {u"/", kPosix, u"/", u"/", u"/", u""},
        {u"/a.txt", kPosix, u"/", u"a.txt", u"/", u"a.txt"},
        {u"/home/u/a\\b.txt", kPosix, u"/home/u", u"a\\b.txt", u"/home/u", u"a\\b.txt"},
        {u"/home/u/", kPosix, u"/home", u"u", u"/home", u"u"},
        {u"/mnt/c:/x", kPosix, u"/mnt/c:", u"x", u"/mnt/c:", u"x"},
        {u"c:/x", kPosix, u"c:", u"x", u"c:", u"x"},
        {u"/ev/d.img//p1", kImage, u"/ev/d.img//p1", u"p1", u"/ev/d.img//p1", u""},
        {u"/ev/d.img//p1/", kImage, u"/ev/d.img//p1/", u"p1", u"/ev/d.img//p1/", u""},
        {u"/ev/d.img//p1/a.txt", kImage, u"/ev/d.img//p1", u"a.txt", u"/ev/d.img//p1", u"a.txt"},
        {u"/ev/d.img//p0/d/a", kImage, u"/ev/d.img//p0/d", u"a", u"/ev/d.img//p0/d", u"a"},
    };
    for (const auto& c : cases) {
        const std::string label(c.path.begin(), c.path.end());
        EXPECT_EQ(parentPath(c.path, c.style), c.parent) << label;
        EXPECT_EQ(leafName(c.path, c.style), c.leaf) << label;
        const auto [folder, name] = splitHostPath(c.path, c.style);
        EXPECT_EQ(folder, c.hostFolder) << label;
        EXPECT_EQ(name, c.hostName) << label;
    }
}

TEST(JoinPath, InsertsOneSeparatorOfTheStyle) {
    struct Case {
        std::u16string folder;
        std::u16string name;
        PathStyle style;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"C:\\", u"a.txt", kWin, u"C:\\a.txt"},
        {u"C:\\dir", u"a.txt", kWin, u"C:\\dir\\a.txt"},
        {u"C:\\dir\\\\", u"a.txt", kWin, u"C:\\dir\\a.txt"},
        {u"C:/dir/", u"a.txt", kWin, u"C:/dir\\a.txt"},
        {u"\\\\server", u"share", kWin, u"\\\\server\\share"},
        {u"\\", u"a", kWin, u"\\a"},
        {u"", u"a.txt", kWin, u"a.txt"},
        {u"C:\\dir", u"", kWin, u"C:\\dir"},
        {u"/", u"a", kPosix, u"/a"},
        {u"/home", u"a", kPosix, u"/home/a"},
        {u"/home/", u"a", kPosix, u"/home/a"},
        {u"/home\\", u"a", kPosix, u"/home\\/a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(joinPath(c.folder, c.name, c.style), c.expected)
            << std::string(c.expected.begin(), c.expected.end());
    }
}

TEST(JoinPath, GivesBackTheHostPathAfterASplit) {
    const std::pair<std::u16string, PathStyle> hosts[] = {
        {u"C:\\", kWin},
        {u"C:\\a.txt", kWin},
        {u"C:\\dir\\a.txt", kWin},
        {u"\\\\server\\share\\a.txt", kWin},
        {u"\\\\server\\share", kWin},
        {u"/", kPosix},
        {u"/a.txt", kPosix},
        {u"/home/u/a.txt", kPosix},
        {u"/ev/d.img//p2", kImage},
        {u"/ev/d.img//p2/a.txt", kImage},
    };
    for (const auto& [host, style] : hosts) {
        StreamRecord record;
        std::tie(record.hostFolder, record.hostName) = splitHostPath(host, style);
        EXPECT_EQ(hostPathOf(record, style), host) << std::string(host.begin(), host.end());
    }
}

TEST(StreamPath, NamesTheStreamOrTheHostItself) {
    EXPECT_EQ(streamPathOf(u"C:\\a.txt", u"Zone.Identifier", u"$DATA"),
              u"C:\\a.txt:Zone.Identifier:$DATA");
    EXPECT_EQ(streamPathOf(u"C:\\a.txt", u"s", u""), u"C:\\a.txt:s:$DATA");
    EXPECT_EQ(streamPathOf(u"C:\\a.txt", u"", u"$DATA"), u"C:\\a.txt");
    EXPECT_EQ(streamPathOf(u"/home/a", u"s", u"$EA"), u"/home/a:s:$EA");

    StreamRecord record;
    record.hostFolder = u"C:\\";
    record.hostName = u"a.txt";
    record.streamName = u"Zone.Identifier";
    EXPECT_EQ(recordStreamPath(record, kWin), u"C:\\a.txt:Zone.Identifier:$DATA");
    record.streamName.clear();
    EXPECT_EQ(recordStreamPath(record, kWin), u"C:\\a.txt");

    record.hostFolder = u"/";
    record.hostName = u"b";
    record.streamName = u"x";
    record.streamType = u"$DATA";
    EXPECT_EQ(recordStreamPath(record, kPosix), u"/b:x:$DATA");
}

TEST(PathSeparator, DependsOnTheStyle) {
    EXPECT_TRUE(isPathSeparator(u'\\', kWin));
    EXPECT_TRUE(isPathSeparator(u'/', kWin));
    EXPECT_FALSE(isPathSeparator(u':', kWin));
    EXPECT_TRUE(isPathSeparator(u'/', kPosix));
    EXPECT_FALSE(isPathSeparator(u'\\', kPosix));
}

}  // namespace
}  // namespace streamscan

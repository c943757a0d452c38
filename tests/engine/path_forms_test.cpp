#include "engine/path_forms.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/unicode.h"

namespace streamscan {
namespace {

constexpr PathStyle kWin = PathStyle::windows;
constexpr PathStyle kPosix = PathStyle::posix;

TEST(PathForms, LongAndVerbatimFormsPrefixOnlyAbsoluteWindowsPaths) {
    const std::u16string x236(236, u'x');  // with the heads below: 248 characters
    const std::u16string r260(260, u'r');
    const std::tuple<std::u16string, PathStyle, std::u16string> longForms[] = {
        {u"C:\\" + std::u16string(244, u'x'), kWin, u"C:\\" + std::u16string(244, u'x')},
        {u"C:/" + x236 + u"/a/bcdefgh", kWin, u"\\\\?\\C:\\" + x236 + u"\\a\\bcdefgh"},
        {u"\\\\server/share\\" + x236, kWin, u"\\\\?\\UNC\\server\\share\\" + x236},
        {u"\\\\.\\C:/" + r260, kWin, u"\\\\.\\C:/" + r260},
        {u"\\" + r260, kWin, u"\\" + r260},
        {u"C:" + r260, kWin, u"C:" + r260},
        {u"C:/" + r260, kPosix, u"C:/" + r260},
    };
    for (const auto& [path, style, expected] : longForms) {
        EXPECT_EQ(longPathForm(path, style), expected) << path.size();
    }
    const std::tuple<std::u16string, PathStyle, std::u16string> verbatimForms[] = {
        {u"c:/x/dir.\\con", kWin, u"\\\\?\\c:\\x\\dir.\\con"},
        {u"\\\\server\\share\\trail ", kWin, u"\\\\?\\UNC\\server\\share\\trail "},
        {u"\\\\?\\C:\\nul.txt", kWin, u"\\\\?\\C:\\nul.txt"},
        {u"relative\\dir.", kWin, u"relative\\dir."},
        {u"C:", kWin, u"C:"},
        {u"C:/x/dir.", kPosix, u"C:/x/dir."},
    };
    for (const auto& [path, style, expected] : verbatimForms) {
        EXPECT_EQ(verbatimPathForm(path, style), expected) << utf8ForDisplay(path);
    }
}

TEST(PathForms, SplitTrimAndJoinByStyle) {
    struct Case {
        std::u16string path;
        PathStyle style;
        std::u16string parent;
        std::u16string leaf;
        std::u16string hostName;  // the host folder is the parent
        std::u16string trimmed;
    };
    const Case cases[] = {
        {u"C:\\", kWin, u"C:\\", u"C:", u"", u"C:\\"},
        {u"C:\\a.txt", kWin, u"C:\\", u"a.txt", u"a.txt", u"C:\\a.txt"},
        {u"C:\\dir\\sub/", kWin, u"C:\\dir", u"sub", u"sub", u"C:\\dir\\sub"},
        {u"\\\\server\\share\\", kWin, u"\\\\server", u"share", u"share", u"\\\\server\\share"},
        {u"a.txt", kWin, u"", u"a.txt", u"a.txt", u"a.txt"},
        {u"/", kPosix, u"/", u"/", u"", u"/"},
        {u"/home/u/a\\b.txt", kPosix, u"/home/u", u"a\\b.txt", u"a\\b.txt", u"/home/u/a\\b.txt"},
        {u"/home/u/", kPosix, u"/home", u"u", u"u", u"/home/u"},
        {u"/ev/d.img//p1", PathStyle::image, u"/ev/d.img//p1", u"p1", u"", u"/ev/d.img//p1"},
        {u"/ev/d.img//p1/a", PathStyle::image, u"/ev/d.img//p1", u"a", u"a", u"/ev/d.img//p1/a"},
    };
    for (const auto& c : cases) {
        const std::string label = utf8ForDisplay(c.path);
        EXPECT_EQ(parentPath(c.path, c.style), c.parent) << label;
        EXPECT_EQ(leafName(c.path, c.style), c.leaf) << label;
        EXPECT_EQ(trimTrailingSeparator(c.path, c.style), c.trimmed) << label;
        StreamRecord record;
        std::tie(record.hostFolder, record.hostName) = splitHostPath(c.path, c.style);
        EXPECT_EQ(record.hostFolder + u"|" + record.hostName, c.parent + u"|" + c.hostName);
        // Joined again, the parts give the path back, less a separator that can go.
        EXPECT_EQ(hostPathOf(record, c.style), c.trimmed) << label;
    }
    EXPECT_EQ(trimTrailingSeparator(u"C:\\dir\\\\", kWin), u"C:\\dir\\\\");  // a doubled one stays
    EXPECT_EQ(joinPath(u"C:/dir/", u"a.txt", kWin), u"C:/dir\\a.txt");
    EXPECT_EQ(joinPath(u"C:\\dir\\\\", u"a.txt", kWin), u"C:\\dir\\a.txt");
    EXPECT_EQ(joinPath(u"", u"a.txt", kWin), u"a.txt");
    EXPECT_EQ(joinPath(u"C:\\dir", u"", kWin), u"C:\\dir");
    EXPECT_EQ(joinPath(u"/home\\", u"a", kPosix), u"/home\\/a");
}

TEST(PathForms, AStreamPathNamesTheStreamOrTheHostItself) {
    EXPECT_EQ(streamPathOf(u"C:\\a.txt", u"s", u""), u"C:\\a.txt:s:$DATA");
    EXPECT_EQ(streamPathOf(u"C:\\a.txt", u"", u"$DATA"), u"C:\\a.txt");
    EXPECT_EQ(streamPathOf(u"/home/a", u"s", u"$EA"), u"/home/a:s:$EA");
    StreamRecord record;
    std::tie(record.hostFolder, record.hostName) = splitHostPath(u"/b", kPosix);
    record.streamName = u"x";
    EXPECT_EQ(recordStreamPath(record, kPosix), u"/b:x:$DATA");
}

}  // namespace
}  // namespace streamscan

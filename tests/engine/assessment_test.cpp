#include "engine/assessment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/zone_identifier.h"

namespace streamscan {
namespace {

constexpr std::uint64_t kMiB = 1048576;

const char16_t* const kMzNote = u"Stream content starts with MZ (executable image)";
const char16_t* const kNamedNote = u"Stream is named like an executable or script";
const char16_t* const kOnExecutableNote = u"Alternate stream on an executable file";
const char16_t* const kQuietNote =
    u"Alternate stream on an executable file, under a name Windows itself uses";
const char16_t* const kZoneUnreadableNote = u"Zone.Identifier stream could not be read";
const char16_t* const kZoneNotNumberNote = u"ZoneId is present but is not a number this can read";

StreamRecord streamOn(std::u16string host, std::u16string stream, std::uint64_t size,
                      std::uint64_t hostSize = 100) {
    StreamRecord r;
    r.hostFolder = u"C:\\data";
    r.hostName = std::move(host);
    r.streamName = std::move(stream);
    r.streamType = u"$DATA";
    r.streamSize = size;
    r.hostSize = hostSize;
    return r;
}

StreamRecord withHead(StreamRecord r, std::string_view bytes) {
    r.headLength = bytes.size();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        r.head[i] = static_cast<std::uint8_t>(bytes[i]);
    return r;
}

// A Zone.Identifier stream whose content is read whole, as the listing does it.
StreamRecord zoneStream(std::u16string host, std::string content, std::uint64_t hostSize = 100) {
    StreamRecord r = streamOn(std::move(host), u"Zone.Identifier", content.size(), hostSize);
    r.zone = parseZoneIdentifier(content);
    return withHead(r,
                    std::string_view(content).substr(0, content.size() < 16 ? content.size() : 16));
}

StreamRecord unreadable(StreamRecord r) {
    r.unreadable = true;
    r.headLength = 0;
    r.head = {};
    return r;
}

struct RuleCase {
    const char* label;
    StreamRecord record;
    std::uint32_t severity;
    std::u16string note;
    std::uint64_t threshold = 0;
};

void expectRule(const RuleCase& c) {
    std::u16string note = u"stale text from an earlier row";
    EXPECT_EQ(assessStream(c.record, &note, c.threshold), c.severity) << c.label;
    EXPECT_EQ(note, c.note) << c.label;
    // Without a note the level must not change.
    EXPECT_EQ(assessStream(c.record, nullptr, c.threshold), c.severity) << c.label;
}

TEST(Assessment, FirstApplicableRuleDecides) {
    StreamRecord itemRow = withHead(streamOn(u"app.exe", u"", 0, 1 << 20), "MZ");
    itemRow.unreadable = true;
    const RuleCase cases[] = {
        {"item row says nothing", itemRow, 0, u""},
        {"content before name", withHead(streamOn(u"notes.txt", u"payload.exe", 7), "MZ\x90"), 2,
         kMzNote},
        {"one byte of MZ is not enough", withHead(streamOn(u"notes.txt", u"data", 7), "M"), 0, u""},
        {"lowercase mz is no image", withHead(streamOn(u"notes.txt", u"data", 7), "mz"), 0, u""},
        {"MZ even inside Zone.Identifier",
         withHead(streamOn(u"a.txt", u"Zone.Identifier", 7), "MZ"), 2, kMzNote},
        {"stream named like a script", streamOn(u"notes.txt", u"X.PS1", 7), 2, kNamedNote},
        {"stream named after a bare extension", streamOn(u"notes.txt", u"ps1", 7), 0, u""},
        {"stream name ending in a dot", streamOn(u"notes.txt", u"x.", 7), 0, u""},
        {"stream on an executable", streamOn(u"app.exe", u"data", 7), 2, kOnExecutableNote},
        {"folder named like a program", streamOn(u"tools.exe", u"data", 7, 0), 2,
         kOnExecutableNote},
        {"known name on an executable", streamOn(u"app.exe", u"SmartScreen", 7), 1, kQuietNote},
        {"large before quiet", streamOn(u"app.exe", u"SummaryInformation", 2 * kMiB), 1,
         u"Stream is 2.0 MB, unusually large for an alternate stream"},
        {"just below the threshold", streamOn(u"a.txt", u"data", kMiB - 1, kMiB * 4), 0, u""},
        {"at the threshold", streamOn(u"a.txt", u"data", kMiB, kMiB * 4), 1,
         u"Stream is 1.0 MB, unusually large for an alternate stream"},
        {"own threshold", streamOn(u"a.txt", u"data", 500, 1000), 1,
         u"Stream is 500 B, unusually large for an alternate stream", 500},
        {"larger than the file", streamOn(u"a.txt", u"data", 5000, 100), 1,
         u"Stream is larger than the file itself (4.9 KB against 100 B)"},
        {"larger but small", streamOn(u"a.txt", u"data", 4095, 100), 0, u""},
        {"empty host never compared", streamOn(u"a.txt", u"data", 5000, 0), 0, u""},
        {"as large as the host", streamOn(u"a.txt", u"data", 5000, 5000), 0, u""},
        {"unreadable plain stream gets no note", unreadable(streamOn(u"a.txt", u"data", 7)), 0,
         u""},
    };
    for (const auto& c : cases)
        expectRule(c);
}

StreamRecord xdgOrigin(std::u16string stream, std::u16string url, std::uint64_t size = 30) {
    StreamRecord r = streamOn(u"setup.exe", std::move(stream), size, 10);
    r.zone.hostUrl = std::move(url);
    return r;
}

TEST(Assessment, DownloadMarksAreExpectedOnProgramsAndTheOriginSaysWhere) {
    const RuleCase cases[] = {
        {"origin on a program, larger than it", xdgOrigin(u"xdg.origin.url", u"https://a.test/s"),
         0, u"Downloaded from https://a.test/s"},
        {"letters in any case", xdgOrigin(u"XDG.Origin.URL", u"https://a.test/s", 5000), 0,
         u"Downloaded from https://a.test/s"},
        {"referrer row says the origin too", xdgOrigin(u"xdg.referrer.url", u"https://a.test/s"), 0,
         u"Downloaded from https://a.test/s"},
        {"origin without an address", xdgOrigin(u"xdg.origin.url", u""), 0, u""},
        {"mime type on a program", xdgOrigin(u"mime_type", u""), 0, u""},
        {"content still comes first",
         withHead(xdgOrigin(u"xdg.origin.url", u"https://a.test/s"), "MZ"), 2, kMzNote},
        {"a look-alike name is a finding", xdgOrigin(u"xdg.origin.url2", u""), 2,
         kOnExecutableNote},
    };
    for (const auto& c : cases)
        expectRule(c);
}

TEST(Assessment, ZoneIdentifierRules) {
    StreamRecord bigZone = unreadable(zoneStream(u"a.txt", "ZoneId=3"));
    bigZone.streamSize = kMiB;
    StreamRecord largeOnHost = zoneStream(u"a.txt", "ZoneId=3", 100);
    largeOnHost.streamSize = 5000;
    StreamRecord emptyZone = streamOn(u"a.txt", u"zone.identifier", 0);
    emptyZone.zone.isZoneIdentifier = true;
    const RuleCase cases[] = {
        {"ordinary download on a program",
         zoneStream(u"setup.exe", "[ZoneTransfer]\r\nZoneId=3\r\n"), 0, u""},
        {"out of range", zoneStream(u"a.txt", "ZoneId=7"), 1,
         u"ZoneId 7 is outside the documented range 0-4"},
        {"negative", zoneStream(u"a.txt", "ZoneId=-2"), 1,
         u"ZoneId -2 is outside the documented range 0-4"},
        {"most negative", zoneStream(u"a.txt", "ZoneId=-9223372036854775808"), 1,
         u"ZoneId -9223372036854775808 is outside the documented range 0-4"},
        {"not a number", zoneStream(u"a.txt", "ZoneId=abc"), 1, kZoneNotNumberNote},
        {"no ZoneId line", zoneStream(u"a.txt", "HostUrl=h"), 0, u""},
        {"empty stream", emptyZone, 0, u""},
        {"could not be read", unreadable(zoneStream(u"a.txt", "ZoneId=3")), 1, kZoneUnreadableNote},
        {"unreadable on a program", unreadable(zoneStream(u"setup.exe", "ZoneId=3")), 1,
         kZoneUnreadableNote},
        {"large before unreadable", bigZone, 1,
         u"Stream is 1.0 MB, unusually large for an alternate stream"},
        {"larger than host is not said, zone rules still are", largeOnHost, 0, u""},
    };
    for (const auto& c : cases)
        expectRule(c);

    StreamRecord largeOdd = zoneStream(u"a.txt", "ZoneId=9", 100);
    largeOdd.streamSize = 5000;
    expectRule({"zone rule after skipped size rule", largeOdd, 1,
                u"ZoneId 9 is outside the documented range 0-4"});
}

TEST(Assessment, ExecutableExtensions) {
    const struct {
        const char16_t* name;
        bool executable;
    } cases[] = {
        {u"a.exe", true},       {u"A.EXE", true},      {u"x.Ps1", true},     {u"x.psm1", true},
        {u"x.reg", true},       {u"x.jar", true},      {u"x.lnk", true},     {u".exe", true},
        {u"a.txt.scr", true},   {u"dir\\b.bat", true}, {u"dir/b.cmd", true}, {u"", false},
        {u"exe", false},        {u"x.", false},        {u"x.exe ", false},   {u"x.exe1", false},
        {u"x.ex", false},       {u"x.exe.txt", false}, {u"a.b\\c", false},   {u"a.exe/c", false},
        {u"a.\u0435xe", false},  // Cyrillic e
    };
    int row = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(hasExecutableExtension(c.name), c.executable) << "row " << row;
        ++row;
    }
}

TEST(Assessment, WellKnownStreamNamesAreWholeNames) {
    EXPECT_TRUE(isWellKnownStreamName(u"Zone.Identifier"));
    EXPECT_TRUE(isWellKnownStreamName(u"SMARTSCREEN"));
    EXPECT_TRUE(isWellKnownStreamName(u"{4C8CC155-6C1E-11D1-8E41-00C04FB9386D}"));
    EXPECT_TRUE(isWellKnownStreamName(u"com.apple.quarantine"));
    EXPECT_FALSE(isWellKnownStreamName(u"\u0005SummaryInformation"));
    EXPECT_FALSE(isWellKnownStreamName(u"favicon2"));
    EXPECT_FALSE(isWellKnownStreamName(u"Zone.Identifier "));
    EXPECT_FALSE(isWellKnownStreamName(u""));
}

TEST(Assessment, SeverityNames) {
    EXPECT_EQ(std::u16string(severityName(0)), u"");
    EXPECT_EQ(std::u16string(severityName(1)), u"Notice");
    EXPECT_EQ(std::u16string(severityName(2)), u"Alert");
    EXPECT_EQ(std::u16string(severityName(3)), u"");
}

}  // namespace
}  // namespace streamscan

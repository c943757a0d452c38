#include "cli/json_lines.h"

#include <gtest/gtest.h>

#include "engine/not_examined.h"
#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

constexpr std::uint64_t kSecond = 10000000;
constexpr std::uint64_t kUnixEpoch = 11644473600ull * kSecond;

TEST(JsonLines, TimesAreUtcToTheSecond) {
    const std::pair<std::uint64_t, std::string> cases[] = {
        {0, ""},
        {kUnixEpoch - 86400 * kSecond, "1969-12-31T00:00:00Z"},
        {kUnixEpoch + 951782400 * kSecond, "2000-02-29T00:00:00Z"},
        {kUnixEpoch + 1796585086 * kSecond, "2026-12-06T19:24:46Z"},
        {kUnixEpoch + 4102444799 * kSecond + 9999999, "2099-12-31T23:59:59Z"},
    };
    for (const auto& [fileTime, text] : cases) {
        EXPECT_EQ(isoUtcTime(fileTime), text) << fileTime;
    }
}

TEST(JsonLines, NamesAreValidJsonAndCarryTheirBytesOnlyWhenTheTextCouldNotHoldThem) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"q\"b\\c\x01\n", R"("n":"q\"b\\c\u0001\u000a")"},
        {u"caf\u00E9\u202E", "\"n\":\"caf\xC3\xA9\xE2\x80\xAE\""},
#ifndef _WIN32
        {streamscan::decodeName("bad\xFF"), R"("n":"bad<U+DCFF>","nBytes":"YmFk/w==")"},
#else
        {u"bad\xDCFF", R"("n":"bad<U+DCFF>","nBytes":"YgBhAGQA/9w=")"},
#endif
    };
    for (const auto& [name, json] : cases) {
        std::string out;
        appendJsonName(out, "n", name);
        EXPECT_EQ(out, json);
    }
}

TEST(JsonLines, APlaceNotExaminedNamesTheCounterItCountsIn) {
    using streamscan::PlaceKind;
    const std::pair<PlaceKind, std::string> cases[] = {
        {PlaceKind::accessDenied, "accessDenied"},
        {PlaceKind::listFailed, "listFailed"},
        {PlaceKind::depthLimit, "listFailed"},
        {PlaceKind::unreadableStream, "unreadableStreams"},
        {PlaceKind::linkNotFollowed, "linksNotFollowed"},
        {PlaceKind::volumeWithoutStreams, "volumesWithoutStreams"},
        {PlaceKind::cancelled, "cancelled"},
    };
    for (const auto& [kind, name] : cases) {
        const streamscan::NotExaminedPlace place{u"/a\"b", kind, 32};
        EXPECT_EQ(jsonPlace(place),
                  R"({"type":"notExamined","schema":1,"path":"/a\"b","kind":")" + name +
                      R"(","code":32,"reason":")" +
                      streamscan::utf8ForDisplay(streamscan::notExaminedReason(place)) + "\"}\n");
    }
    // A name the text cannot hold carries its bytes, as a row's path does.
    const std::string odd = jsonPlace({u"/x\xDCFF", PlaceKind::accessDenied, 5});
    EXPECT_NE(odd.find(R"("path":"/x<U+DCFF>","pathBytes":")"), std::string::npos) << odd;
}

}  // namespace
}  // namespace tessalin::cli

// The value forms of the JSON lines; the objects themselves are read by jq in
// the console's tests on real trees.
#include "cli/json_lines.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/not_examined.h"
#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kUnixEpoch = 11644473600ull * kTicksPerSecond;

TEST(JsonLines, TimesAreUtcToTheSecond) {
    struct Case {
        std::uint64_t fileTime;
        std::string text;
    };
    const Case cases[] = {
        {0, ""},
        {1, "1601-01-01T00:00:00Z"},
        {kUnixEpoch, "1970-01-01T00:00:00Z"},
        {kUnixEpoch + 951782400ull * kTicksPerSecond, "2000-02-29T00:00:00Z"},
        {kUnixEpoch + 4102444799ull * kTicksPerSecond + 9999999, "2099-12-31T23:59:59Z"},
        {kUnixEpoch + 1796585086ull * kTicksPerSecond, "2026-12-06T19:24:46Z"},
        {kUnixEpoch + 1709164800ull * kTicksPerSecond, "2024-02-29T00:00:00Z"},
        {kUnixEpoch - 86400ull * kTicksPerSecond, "1969-12-31T00:00:00Z"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isoUtcTime(c.fileTime), c.text) << c.fileTime;
    }
}

TEST(JsonLines, Base64PadsEveryTailLength) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe", "//4="},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(base64(bytes), text);
    }
}

TEST(JsonLines, NamesAreValidJsonAndCarryTheirBytesOnlyWhenTheTextCouldNotHoldThem) {
    struct Case {
        std::u16string name;
        std::string json;
    };
    const Case cases[] = {
        {u"plain", R"("n":"plain")"},
        {u"q\"b\\c\x01\n", R"("n":"q\"b\\c\u0001\u000a")"},
        {u"caf\u00E9\u202E", "\"n\":\"caf\xC3\xA9\xE2\x80\xAE\""},
#ifndef _WIN32
        {streamscan::decodeName("bad\xFF"), R"("n":"bad<U+DCFF>","nBytes":"YmFk/w==")"},
#else
        {u"bad\xDCFF", R"("n":"bad<U+DCFF>","nBytes":"YgBhAGQA/9w=")"},
#endif
    };
    for (const Case& c : cases) {
        std::string out;
        appendJsonName(out, "n", c.name);
        EXPECT_EQ(out, c.json);
    }
}

TEST(JsonLines, APlaceNotExaminedNamesTheCounterItCountsIn) {
    using streamscan::PlaceKind;
    const struct {
        PlaceKind kind;
        std::uint32_t code;
        const char* name;
    } cases[] = {
        {PlaceKind::accessDenied, 5, "accessDenied"},
        {PlaceKind::listFailed, 21, "listFailed"},
        {PlaceKind::depthLimit, 0, "listFailed"},
        {PlaceKind::unreadableStream, 32, "unreadableStreams"},
        {PlaceKind::linkNotFollowed, 0, "linksNotFollowed"},
        {PlaceKind::volumeWithoutStreams, 0, "volumesWithoutStreams"},
        {PlaceKind::cancelled, 0, "cancelled"},
    };
    for (const auto& c : cases) {
        const streamscan::NotExaminedPlace place{u"/a\"b", c.kind, c.code};
        EXPECT_EQ(jsonPlace(place),
                  "{\"type\":\"notExamined\",\"schema\":1,\"path\":\"/a\\\"b\",\"kind\":\"" +
                      std::string(c.name) + "\",\"code\":" + std::to_string(c.code) +
                      ",\"reason\":\"" +
                      streamscan::utf8ForDisplay(streamscan::notExaminedReason(place)) + "\"}\n")
            << c.name;
    }
    // A name the text cannot hold carries its bytes, as a row's path does.
    const std::string odd = jsonPlace({std::u16string(u"/x\xDCFF"), PlaceKind::accessDenied, 5});
    EXPECT_NE(odd.find("\"path\":\"/x<U+DCFF>\",\"pathBytes\":\""), std::string::npos) << odd;
}

}  // namespace
}  // namespace tessalin::cli

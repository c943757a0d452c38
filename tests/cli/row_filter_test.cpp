#include "cli/row_filter.h"

#include <gtest/gtest.h>

namespace tessalin::cli {
namespace {

TEST(RowFilter, WildcardsMatchWholeNamesFoldingOnlyAsciiLetters) {
    const std::tuple<std::u16string, std::u16string, bool> cases[] = {
        {u"zone.identifier", u"Zone.Identifier", true},
        {u"*.exe", u"payload.exe.txt", false},
        {u"*", u"", true},
        {u"a*b*c", u"aXbYbZc", true},
        {u"a*b*c", u"aXbYbZ", false},
        {u"??", u"ab", true},
        {u"\u00E9t\u00E9", u"\u00C9T\u00C9", false},
        {u"ab", u"abc", false},
    };
    for (const auto& [pattern, name, matches] : cases) {
        EXPECT_EQ(wildcardMatches(pattern, name), matches)
            << std::string(pattern.begin(), pattern.end()) << " / "
            << std::string(name.begin(), name.end());
    }
}

TEST(RowFilter, SizesTakeBinarySuffixesAndRefuseWhatIsNotASize) {
    const std::pair<std::u16string, std::optional<std::uint64_t>> cases[] = {
        {u"64k", 65536},
        {u"1M", 1048576},
        {u"2G", 2147483648ull},
        {u"18446744073709551615", 18446744073709551615ull},
        {u"18446744073709551616", std::nullopt},
        {u"17179869184G", std::nullopt},
        {u"", std::nullopt},
        {u"-1", std::nullopt},
        {u"1KB", std::nullopt},
    };
    for (const auto& [text, size] : cases) {
        EXPECT_EQ(parseSizeArgument(text), size) << std::string(text.begin(), text.end());
    }
}

TEST(RowFilter, EveryFilterMustAgreeAndItemRowsPassOnlyWithoutFilters) {
    const streamscan::StreamRecord stream{
        .streamName = u"payload.exe", .streamSize = 100, .severity = 1};
    const streamscan::StreamRecord plain{.streamName = u"s", .streamSize = 100};
    const streamscan::StreamRecord item{.hostName = u"plain.txt"};
    const struct {
        RowFilter filter;
        bool streamPasses, plainPasses, itemPasses;
    } cases[] = {
        {{}, true, true, true},
        {{{u"*.txt", u"*.exe"}, 0, false}, true, false, false},
        {{{u"*.txt"}, 0, false}, false, false, false},
        {{{}, 100, false}, true, true, false},
        {{{}, 101, false}, false, false, false},
        {{{}, 0, true}, true, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.filter.passes(stream), c.streamPasses);
        EXPECT_EQ(c.filter.passes(plain), c.plainPasses);
        EXPECT_EQ(c.filter.passes(item), c.itemPasses);
    }
}

}  // namespace
}  // namespace tessalin::cli

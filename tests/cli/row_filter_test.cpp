#include "cli/row_filter.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/assessment.h"

namespace tessalin::cli {
namespace {

TEST(RowFilter, WildcardsMatchWholeNamesFoldingOnlyAsciiLetters) {
    struct Case {
        std::u16string pattern;
        std::u16string name;
        bool matches;
    };
    const Case cases[] = {
        {u"zone.identifier", u"Zone.Identifier", true},
        {u"*.exe", u"payload.EXE", true},
        {u"*.exe", u"payload.exe.txt", false},
        {u"*", u"", true},
        {u"a*b*c", u"aXbYbZc", true},
        {u"a*b*c", u"aXbYbZ", false},
        {u"?", u"ab", false},
        {u"??", u"ab", true},
        {u"*zone*", u"my.Zone.copy", true},
        {u"\u00E9t\u00E9", u"\u00C9T\u00C9", false},  // only A-Z fold
        {u"ab", u"abc", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wildcardMatches(c.pattern, c.name), c.matches)
            << std::string(c.pattern.begin(), c.pattern.end()) << " / "
            << std::string(c.name.begin(), c.name.end());
    }
}

TEST(RowFilter, SizesTakeBinarySuffixesAndRefuseWhatIsNotASize) {
    struct Case {
        std::u16string text;
        std::optional<std::uint64_t> size;
    };
    const Case cases[] = {
        {u"0", 0},
        {u"4096", 4096},
        {u"64K", 65536},
        {u"64k", 65536},
        {u"1M", 1048576},
        {u"2g", 2147483648ull},
        {u"18446744073709551615", 18446744073709551615ull},
        {u"18446744073709551616", std::nullopt},
        {u"17179869184G", std::nullopt},
        {u"", std::nullopt},
        {u"K", std::nullopt},
        {u"1.5M", std::nullopt},
        {u"-1", std::nullopt},
        {u"1KB", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseSizeArgument(c.text), c.size) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(RowFilter, EveryFilterMustAgreeAndItemRowsPassOnlyWithoutFilters) {
    streamscan::StreamRecord stream;
    stream.streamName = u"payload.exe";
    stream.streamSize = 100;
    stream.severity = streamscan::kSeverityAlert;
    streamscan::StreamRecord item;
    item.hostName = u"plain.txt";

    struct Case {
        RowFilter filter;
        bool streamPasses;
        bool itemPasses;
    };
    const Case cases[] = {
        {{}, true, true},
        {{{u"*.txt", u"*.exe"}, 0, false}, true, false},
        {{{u"*.txt"}, 0, false}, false, false},
        {{{}, 100, false}, true, false},
        {{{}, 101, false}, false, false},
        {{{u"*.exe"}, 0, true}, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.filter.passes(stream), c.streamPasses);
        EXPECT_EQ(c.filter.passes(item), c.itemPasses);
    }
    RowFilter flagged;
    flagged.flaggedOnly = true;
    stream.severity = streamscan::kSeverityNone;
    EXPECT_FALSE(flagged.passes(stream));
    stream.severity = streamscan::kSeverityNotice;
    EXPECT_TRUE(flagged.passes(stream));
}

}  // namespace
}  // namespace tessalin::cli

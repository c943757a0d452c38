#include "cli/removal_flow.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/fake_file_system.h"

namespace tessalin::cli {
namespace {

using streamscan::StreamRecord;

TEST(CliRemoval, OnlyYesInAnyCaseIsYesAndNamesMatchFoldingOnlyAsciiLetters) {
    for (const char* yes : {"y", "Y", "yes", "YES", " y ", "yes\r"})
        EXPECT_TRUE(isYesAnswer(yes)) << yes;
    for (const char* no : {"", "n", "no", "yess", "ja", "y y", "1"})
        EXPECT_FALSE(isYesAnswer(no)) << no;
    EXPECT_TRUE(matchesRemovalName({.streamName = u"Zone.Identifier"}, u"zone.IDENTIFIER"));
    EXPECT_FALSE(matchesRemovalName({.streamName = u"Zone.Identifier"}, u"Zone.Identifier "));
    EXPECT_FALSE(matchesRemovalName({.streamName = u"\u00C9t\u00E9"}, u"\u00E9t\u00E9"));
    EXPECT_FALSE(matchesRemovalName({}, u""));
}

// The delete command's plan, question and result, said on the console.
TEST(CliRemoval, SaysWhatItDidAndFailsOnAnythingNotRemoved) {
    const StreamRecord a{.hostFolder = u"/d", .hostName = u"a", .streamName = u"s"};
    const StreamRecord ea{.hostFolder = u"/d", .streamName = u"S", .streamType = u"$EA"};
    const std::u16string removed = u"Removed 1 stream.\n";
    const std::u16string stopped =
        u"The scan was cancelled, so nothing was removed: streams named 's' may sit in the part "
        u"of the tree it never reached.\n";
    const std::u16string absent =
        u"No listed stream is named 'n<U+202E>', so there is nothing to remove.\n";
    const struct {
        std::vector<StreamRecord> rows;
        std::u16string name;
        bool cancelled;
        std::optional<bool> answer;  // none: --yes
        bool questioned;
        std::u16string said;  // after the question, when it is asked
        bool failed;
    } cases[] = {
        {{a}, u"s", false, {}, true, removed, false},
        {{a, ea}, u"s", false, {}, true, removed, true},  // $EA is refused
        {{a}, u"s", false, true, true, removed, false},
        {{a}, u"s", false, false, true, u"Nothing was removed.\n", false},
        {{a}, u"s", true, {}, false, stopped, true},
        {{a}, u"n\u202E", false, {}, false, absent, false},
    };
    for (const auto& c : cases) {
        streamscan::FakeFileSystem fs(streamscan::PathStyle::posix);
        fs.addStream(u"/d/a", u"s", "x");
        std::vector<std::uint64_t> all(c.rows.size());
        std::iota(all.begin(), all.end(), 0);
        const std::u16string question =
            confirmationMessage(planDelete(c.rows, all, fs.pathStyle()), {false, false}).text;
        std::u16string said;
        const RemovalIo io{[&](const std::u16string& text) { said += text; },
                           [&](std::u16string_view prompt) {
                               EXPECT_EQ(prompt, question + u" [y/N] ");
                               return c.answer.value();
                           }};
        const RemovalRequest request{c.name, c.cancelled, c.answer.has_value(), {false, false}};
        EXPECT_EQ(runRemoval(c.rows, request, io, fs), c.failed);
        const bool echoed = c.questioned && !c.answer;
        EXPECT_EQ(said, (echoed ? question + u" yes (--yes)\n" : u"") + c.said);
    }
}

}  // namespace
}  // namespace tessalin::cli

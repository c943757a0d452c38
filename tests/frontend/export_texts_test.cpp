#include "frontend/export_texts.h"

#include <gtest/gtest.h>

#include "frontend/status_texts.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;

TEST(ExportTexts, DefaultFileNameIsStampedWithTheLocalTime) {
    EXPECT_EQ(defaultExportFileName({2025, 12, 31, 23, 59, 59}), u"Tessalin_20251231_235959.csv");
    EXPECT_EQ(defaultExportFileName({987, 6, 7, 0, 0, 0}), u"Tessalin_09870607_000000.csv");
    EXPECT_EQ(defaultExportFileName({12345, 1, 2, 3, 4, 5}), u"Tessalin_123450102_030405.csv");
}

TEST(ExportTexts, EmptyListQuotesWhatTheLastScanMissedButNotSkippedLinks) {
    const std::pair<ScanStats, bool> cases[] = {
        {{}, false},
        {{.linksNotFollowed = 4}, false},
        {{.cancelled = true}, true},
        {{.accessDenied = 3, .linksNotFollowed = 1}, true},
        {{.volumesWithoutStreams = 1}, true},
    };
    for (const auto& [stats, quoted] : cases) {
        std::u16string expected = u"There is nothing to export: the list is empty.";
        if (quoted) {
            expected += u"\n\nThe last scan did not cover everything - " +
                        notExaminedSummary(stats, true) +
                        u" - so an empty report would not mean much.";
        }
        const BoxMessage box = nothingToExportMessage(stats);
        EXPECT_EQ(box.text, expected);
        EXPECT_EQ(box.style, kInformationBox);
    }
}

TEST(ExportTexts, SuccessNamesRowsAndEscapedPathAndMentionsTheCoverageNote) {
    const BoxMessage one = exportSucceededMessage(1, u"C:\\r\\a\u202Etxt.csv", {});
    EXPECT_EQ(one.text, u"Exported 1 row to:\nC:\\r\\a<U+202E>txt.csv");
    EXPECT_EQ(one.style, kInformationBox);
    EXPECT_EQ(exportSucceededMessage(7, u"C:\\r.csv", {.linksNotFollowed = 1}).text,
              u"Exported 7 rows to:\nC:\\r.csv\n\nThe report ends with a note of what the scan "
              u"did not reach.");
    EXPECT_EQ(exportSucceededStatusText(1), u"Exported 1 row.");
    EXPECT_EQ(exportSucceededStatusText(0), u"Exported 0 rows.");
}

TEST(ExportTexts, FailuresSayWhyInTheBoxAndBrieflyInTheStatusLine) {
    const BoxMessage bare = exportFailedMessage(u"D:\\x\ny.csv", u"");
    EXPECT_EQ(bare.text, u"The report could not be written to:\nD:\\x<U+000A>y.csv");
    EXPECT_EQ(bare.style, kErrorBox);
    // The writer's own text arrives already escaped and is shown as it is.
    EXPECT_EQ(exportFailedMessage(u"D:\\r.csv", u"Could not create D:\\<U+000A>").text,
              u"The report could not be written to:\nD:\\r.csv\n\nCould not create D:\\<U+000A>");
    EXPECT_EQ(saveDialogFailedStatusText(12290),
              u"The save dialog could not be opened (error 12290).");
}

}  // namespace
}  // namespace tessalin

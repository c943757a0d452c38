#include "window/details_text.h"

#include <gtest/gtest.h>

#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::StreamRecord;

constexpr streamscan::PathStyle kWin = streamscan::PathStyle::windows;

std::array<std::uint8_t, 16> bytesOf(std::string_view text) {
    std::array<std::uint8_t, 16> head{};
    std::copy_n(text.begin(), std::min(text.size(), head.size()), head.begin());
    return head;
}

TEST(HeadDump, HexPairsThenPrintableCharacters) {
    EXPECT_EQ(headDump(bytesOf(""), 0), u"");
    EXPECT_EQ(headDump(bytesOf({"\x1F\x20\x7E\x7F\xFF\x00", 6}), 6), u"1F 20 7E 7F FF 00   . ~...");
    EXPECT_EQ(headDump(bytesOf("0123456789abcdef"), 1000),
              u"30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66   0123456789abcdef");
}

TEST(DetailsText, StreamRowWithZoneAssessmentAndFirstBytes) {
    const StreamRecord record{.hostFolder = u"C:\\dl",
                              .hostName = u"a\rb",
                              .streamName = u"Zone.Identifier",
                              .streamSize = 98,
                              .hostAttributes = 0x21,  // archive is never named
                              .hostSize = 1536,
                              .zone = {.isZoneIdentifier = true,
                                       .zoneIdPresent = true,
                                       .zoneIdParsed = true,
                                       .zone = 3,
                                       .zoneId = 3,
                                       .hostUrl = u"https://example.test/setup.exe",
                                       .referrerUrl = u"https://example.test/\u202E"},
                              .head = bytesOf("[ZoneTransfer]\r\n"),
                              .headLength = 16,
                              .unreadable = true,
                              .severity = 1,
                              .note = u"Downloaded from the Internet"};
    EXPECT_EQ(
        detailsText(record, kWin),
        u"File:\tC:\\dl\\a<U+000D>b\nKind:\tFile\nFlags:\tRead-only\nFile size:\t1.5 KB\n"
        u"\nStream:\tZone.Identifier\nType:\t$DATA\nSize:\t98 B\n"
        u"Path:\tC:\\dl\\a<U+000D>b:Zone.Identifier:$DATA\n"
        u"\nZone:\tInternet\nFrom:\thttps://example.test/setup.exe\n"
        u"Referrer:\thttps://example.test/<U+202E>\n"
        u"\nFlagged:\tNotice\nReason:\tDownloaded from the Internet; content could not be read\n"
        u"\nFirst bytes:\n"
        u"5B 5A 6F 6E 65 54 72 61 6E 73 66 65 72 5D 0D 0A   [ZoneTransfer]..");
    EXPECT_EQ(detailsMessage(record, kWin).style, kInformationBox);
}

TEST(DetailsText, LinesThatHaveNothingToSayAreLeftOut) {
    const StreamRecord plain{.hostFolder = u"C:\\", .streamName = u"notes", .streamType = u"$EA"};
    EXPECT_EQ(detailsText(plain, kWin),
              u"File:\tC:\\\nKind:\tFile\nFile size:\t0 B\n"
              u"\nStream:\tnotes\nType:\t$EA\nSize:\t0 B\nPath:\tC:\\:notes:$EA\n");
    const StreamRecord file{.hostFolder = u"C:\\", .hostName = u"a", .hostAttributes = 0x2};
    EXPECT_EQ(detailsText(file, kWin),
              u"File:\tC:\\a\nKind:\tFile\nFlags:\tHidden\nFile size:\t0 B\n"
              u"\nThis file carries no alternate data stream.");
    const StreamRecord folder{.hostFolder = u"C:\\",
                              .hostSize = 4096,
                              .hostModified = 133485120000000000,
                              .hostIsFolder = true};
    EXPECT_EQ(detailsText(folder, kWin), u"File:\tC:\\\nKind:\tFolder\nModified:\t" +
                                             streamscan::timeText(folder.hostModified) +
                                             u"\n\nThis folder carries no alternate data stream.");
}

}  // namespace
}  // namespace tessalin

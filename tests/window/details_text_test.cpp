#include "window/details_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::PathStyle;
using streamscan::StreamRecord;

constexpr PathStyle kWin = PathStyle::windows;

std::array<std::uint8_t, 16> bytesOf(std::string_view text) {
    std::array<std::uint8_t, 16> head{};
    for (std::size_t i = 0; i < text.size() && i < head.size(); ++i)
        head[i] = static_cast<std::uint8_t>(text[i]);
    return head;
}

StreamRecord fileHost() {
    StreamRecord r;
    r.hostFolder = u"C:\\dl";
    r.hostName = u"setup.exe";
    r.hostAttributes = 0x21;  // archive is never named
    r.hostSize = 1536;
    return r;
}

TEST(HeadDump, HexPairsThenPrintableCharacters) {
    struct Case {
        const char* label;
        std::string bytes;
        std::uint64_t length;
        std::u16string dump;
    };
    const Case cases[] = {
        {"empty", "", 0, u""},
        {"MZ", std::string("MZ\x90\x00\x03", 5), 5, u"4D 5A 90 00 03   MZ..."},
        {"sixteen printable", "ZoneId=3 [Zone]~", 16,
         u"5A 6F 6E 65 49 64 3D 33 20 5B 5A 6F 6E 65 5D 7E   ZoneId=3 [Zone]~"},
        {"edges", std::string("\x1F\x20\x7E\x7F\xFF", 5), 5, u"1F 20 7E 7F FF   . ~.."},
        {"length beyond head", "0123456789abcdef", 1000,
         u"30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66   0123456789abcdef"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(headDump(bytesOf(c.bytes), c.length), c.dump) << c.label;
}

TEST(DetailsText, StreamRowWithZoneAssessmentAndFirstBytes) {
    StreamRecord r = fileHost();
    r.streamName = u"Zone.Identifier";
    r.streamType = u"";
    r.streamSize = 98;
    r.zone.isZoneIdentifier = true;
    r.zone.zoneIdPresent = r.zone.zoneIdParsed = true;
    r.zone.zone = 3;
    r.zone.zoneId = 3;
    r.zone.hostUrl = u"https://example.test/setup.exe";
    r.zone.referrerUrl = u"https://example.test/\u202E";
    r.severity = 1;
    r.note = u"Downloaded from the Internet";
    r.head = bytesOf("[ZoneTransfer]\r\n");
    r.headLength = 16;
    EXPECT_EQ(detailsText(r, kWin),
              u"File:\tC:\\dl\\setup.exe\n"
              u"Kind:\tFile\n"
              u"Flags:\tRead-only\n"
              u"File size:\t1.5 KB\n"
              u"\nStream:\tZone.Identifier\n"
              u"Type:\t$DATA\n"
              u"Size:\t98 B\n"
              u"Path:\tC:\\dl\\setup.exe:Zone.Identifier:$DATA\n"
              u"\nZone:\tInternet\n"
              u"From:\thttps://example.test/setup.exe\n"
              u"Referrer:\thttps://example.test/<U+202E>\n"
              u"\nFlagged:\tNotice\n"
              u"Reason:\tDownloaded from the Internet\n"
              u"\nFirst bytes:\n"
              u"5B 5A 6F 6E 65 54 72 61 6E 73 66 65 72 5D 0D 0A   [ZoneTransfer]..");
    EXPECT_EQ(detailsMessage(r, kWin).style, kInformationBox);
}

TEST(DetailsText, UnreadableAndPlainStreamsLeaveOutWhatIsUnknown) {
    StreamRecord unreadable = fileHost();
    unreadable.hostAttributes = 0;
    unreadable.hostName = u"a\rb";
    unreadable.streamName = u"ZONE.IDENTIFIER";
    unreadable.streamType = u"$DATA";
    unreadable.zone.isZoneIdentifier = true;
    unreadable.unreadable = true;
    EXPECT_EQ(detailsText(unreadable, kWin),
              u"File:\tC:\\dl\\a<U+000D>b\n"
              u"Kind:\tFile\n"
              u"File size:\t1.5 KB\n"
              u"\nStream:\tZONE.IDENTIFIER\n"
              u"Type:\t$DATA\n"
              u"Size:\t0 B\n"
              u"Path:\tC:\\dl\\a<U+000D>b:ZONE.IDENTIFIER:$DATA\n"
              u"\nZone:\t(no ZoneId)\n"
              u"Reason:\tStream content could not be read\n");

    StreamRecord plain = fileHost();
    plain.hostAttributes = 0;
    plain.streamName = u"notes";
    plain.streamType = u"$EA";
    plain.streamSize = 0;
    const std::u16string text = detailsText(plain, kWin);
    EXPECT_TRUE(
        text.ends_with(u"\nStream:\tnotes\nType:\t$EA\nSize:\t0 B\n"
                       u"Path:\tC:\\dl\\setup.exe:notes:$EA\n"));
    for (const char16_t* absent : {u"Zone:", u"Flagged:", u"Reason:", u"First bytes"})
        EXPECT_EQ(text.find(absent), std::u16string::npos) << "a line that has nothing to say";
}

TEST(DetailsText, ItemRowsSayTheyCarryNoStream) {
    StreamRecord file = fileHost();
    file.hostAttributes = 0x2;
    EXPECT_EQ(detailsText(file, kWin),
              u"File:\tC:\\dl\\setup.exe\nKind:\tFile\nFlags:\tHidden\nFile size:\t1.5 KB\n"
              u"\nThis file carries no alternate data stream.");

    StreamRecord folder;
    folder.hostFolder = u"C:\\";
    folder.hostIsFolder = true;
    folder.hostSize = 4096;  // never shown for a folder
    folder.hostModified = 133485120000000000;
    EXPECT_EQ(detailsText(folder, kWin), u"File:\tC:\\\nKind:\tFolder\nModified:\t" +
                                             streamscan::timeText(folder.hostModified) +
                                             u"\n\nThis folder carries no alternate data stream.");
}

}  // namespace
}  // namespace tessalin

#include "support/report_fixture.h"

namespace streamscan {
namespace {

StreamRecord row(std::u16string folder, std::u16string name, std::uint32_t attributes,
                 std::uint64_t hostSize, std::u16string stream = {}, std::uint64_t size = 0) {
    StreamRecord record;
    record.hostFolder = std::move(folder);
    record.hostName = std::move(name);
    record.hostIsFolder = (attributes & 0x10) != 0;
    record.hostAttributes = attributes;
    record.hostSize = hostSize;
    record.streamName = std::move(stream);
    record.streamType = record.streamName.empty() ? u"" : u"$DATA";
    record.streamSize = size;
    return record;
}

// A Zone.Identifier row on setup.exe; without an id the ZoneId line is missing,
// with `parsed` false it could not be read.
StreamRecord zoneRow(std::uint64_t size, bool present, bool parsed, std::int64_t zoneId) {
    StreamRecord record =
        row(u"C:\\Users\\ann\\Downloads", u"setup, v2.exe", 0x20, 1536, u"Zone.Identifier", size);
    record.zone.isZoneIdentifier = true;
    record.zone.zoneIdPresent = present;
    record.zone.zoneIdParsed = parsed;
    record.zone.zoneId = parsed ? zoneId : -1;
    record.zone.zone =
        parsed && zoneId >= 0 && zoneId <= 4 ? static_cast<std::uint32_t>(zoneId) : kNoZone;
    return record;
}

}  // namespace

std::vector<StreamRecord> reportFixtureRecords() {
    // The zone texts themselves are the parser's; here only which columns show them.
    std::vector<StreamRecord> records = {zoneRow(120, true, true, 3), zoneRow(64, true, true, -1),
                                         zoneRow(20, true, false, 0)};
    records[0].zone.hostUrl = u"https://example.com/get?x=\"1\"";
    records[0].severity = 1;
    records[0].note = u"Downloaded from the Internet";
    records[1].zone.hostUrl = u"https://caf\u00E9.example/\U0001F600";
    records[1].zone.referrerUrl = u"@evil";
    records[2].streamName = u"zone.identifier";

    StreamRecord formula = row(u"C:\\Temp", u"evil\u202Etxt.exe", 0x23, 0, u"=cmd|' /C calc'!A0");
    formula.unreadable = true;
    formula.severity = 2;
    formula.note = u"Hidden\tnote\r\nsecond line";
    records.insert(records.begin() + 1, formula);

    StreamRecord quoted = row(u"C:\\Temp", u"evil\u202Etxt.exe", 0x23, 0, u"a\"b,c", 1048576);
    quoted.streamType = u"";
    quoted.note = u"-5 +x";
    records.push_back(quoted);
    records.push_back(row(u"C:\\Data", u"sub", 0x10, 0));
    records.push_back(row(u"C:\\", u"", 0x16, 0));
    records.push_back(row(u"C:\\Data", u"plain.txt", 0x20, 1048576));
    return records;
}

ScanStats reportFixtureStats() {
    return {.files = 7, .streams = 7, .accessDenied = 2, .linksNotFollowed = 1, .cancelled = true};
}

std::u16string reportFixtureText() {
    return u"\uFEFF"
           u"Severity,Note,Path,Host Type,Stream,Stream Type,Stream Size,Stream Size (bytes),"
           u"Host Size (bytes),Host Attributes,Host Modified,Zone,Zone Id,Host URL,Referrer URL,"
           u"Readable\r\n"
           u"Notice,Downloaded from the Internet,\"C:\\Users\\ann\\Downloads\\setup, v2.exe\","
           u"File,Zone.Identifier,$DATA,120 B,120,1536,,,Internet,3,"
           u"\"https://example.com/get?x=\"\"1\"\"\",,Yes\r\n"
           u"Alert,Hidden<U+0009>note<U+000D><U+000A>second line,C:\\Temp\\evil<U+202E>txt.exe,"
           u"File,\"'=cmd|' /C calc'!A0\",$DATA,0 B,0,0,\"Hidden, Read-only\",,,,,,No\r\n"
           u",,\"C:\\Users\\ann\\Downloads\\setup, v2.exe\",File,Zone.Identifier,$DATA,64 B,64,"
           u"1536,,,Unknown,\"'-1\",https://caf\u00E9.example/\U0001F600,\"'@evil\",Yes\r\n"
           u",,\"C:\\Users\\ann\\Downloads\\setup, v2.exe\",File,zone.identifier,$DATA,20 B,20,"
           u"1536,,,(unreadable ZoneId),,,,Yes\r\n"
           u",\"'-5 +x\",C:\\Temp\\evil<U+202E>txt.exe,File,\"a\"\"b,c\",,1.0 MB,1048576,0,"
           u"\"Hidden, Read-only\",,,,,,Yes\r\n"
           u",,C:\\Data\\sub,Folder,,,,,0,,,,,,,\r\n"
           u",,C:\\,Folder,,,,,0,\"Hidden, System\",,,,,,\r\n"
           u",,C:\\Data\\plain.txt,File,,,,,1048576,,,,,,,\r\n"
           u"\r\n"
           u"\"Scan cancelled before it finished\"\r\n"
           u"\"Not examined: 2 denied, 1 link not followed\"\r\n";
}

std::string littleEndianBytes(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

}  // namespace streamscan

#include "support/report_fixture.h"

namespace streamscan {
namespace {

StreamRecord hostRecord(std::u16string folder, std::u16string name, bool isFolder,
                        std::uint32_t attributes, std::uint64_t size) {
    StreamRecord record;
    record.hostFolder = std::move(folder);
    record.hostName = std::move(name);
    record.hostIsFolder = isFolder;
    record.hostAttributes = attributes;
    record.hostSize = size;
    return record;
}

StreamRecord streamRecord(StreamRecord host, std::u16string name, std::uint64_t size) {
    host.streamName = std::move(name);
    host.streamType = u"$DATA";
    host.streamSize = size;
    return host;
}

ZoneInfo zoneWith(bool present, bool parsed, std::int64_t zoneId) {
    ZoneInfo zone;
    zone.isZoneIdentifier = true;
    zone.zoneIdPresent = present;
    zone.zoneIdParsed = parsed;
    zone.zoneId = parsed ? zoneId : -1;
    zone.zone = parsed && zoneId >= 0 && zoneId <= 4 ? static_cast<std::uint32_t>(zoneId) : kNoZone;
    return zone;
}

}  // namespace

std::vector<StreamRecord> reportFixtureRecords() {
    const StreamRecord setup =
        hostRecord(u"C:\\Users\\ann\\Downloads", u"setup, v2.exe", false, 0x20, 1536);
    const StreamRecord evil = hostRecord(u"C:\\Temp", u"evil\u202Etxt.exe", false, 0x23, 0);

    std::vector<StreamRecord> records;

    StreamRecord internet = streamRecord(setup, u"Zone.Identifier", 120);
    internet.zone = zoneWith(true, true, 3);
    internet.zone.hostUrl = u"https://example.com/get?x=\"1\"";
    internet.severity = 1;
    internet.note = u"Downloaded from the Internet";
    records.push_back(internet);

    StreamRecord formula = streamRecord(evil, u"=cmd|' /C calc'!A0", 0);
    formula.unreadable = true;
    formula.severity = 2;
    formula.note = u"Hidden\tnote\r\nsecond line";
    records.push_back(formula);

    StreamRecord negative = streamRecord(setup, u"Zone.Identifier", 64);
    negative.zone = zoneWith(true, true, -1);
    negative.zone.hostUrl = u"https://caf\u00E9.example/\U0001F600";
    negative.zone.referrerUrl = u"@evil";
    records.push_back(negative);

    StreamRecord unknown = streamRecord(setup, u"Zone.Identifier", 16);
    unknown.zone = zoneWith(true, true, 7);
    records.push_back(unknown);

    StreamRecord noZoneId = streamRecord(setup, u"Zone.Identifier", 16);
    noZoneId.zone = zoneWith(false, false, 0);
    records.push_back(noZoneId);

    StreamRecord badZoneId = streamRecord(setup, u"zone.identifier", 20);
    badZoneId.zone = zoneWith(true, false, 0);
    records.push_back(badZoneId);

    StreamRecord quoted = streamRecord(evil, u"a\"b,c", 1048576);
    quoted.streamType = u"";
    quoted.note = u"-5 +x";
    records.push_back(quoted);

    records.push_back(hostRecord(u"C:\\Data", u"sub", true, 0x10, 0));
    records.push_back(hostRecord(u"C:\\", u"", true, 0x16, 0));
    records.push_back(hostRecord(u"C:\\Data", u"plain.txt", false, 0x20, 1048576));
    return records;
}

ScanStats reportFixtureStats() {
    ScanStats stats;
    stats.files = 7;
    stats.streams = 7;
    stats.cancelled = true;
    stats.accessDenied = 2;
    stats.linksNotFollowed = 1;
    return stats;
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
           u",,\"C:\\Users\\ann\\Downloads\\setup, v2.exe\",File,Zone.Identifier,$DATA,16 B,16,"
           u"1536,,,Unknown,7,,,Yes\r\n"
           u",,\"C:\\Users\\ann\\Downloads\\setup, v2.exe\",File,Zone.Identifier,$DATA,16 B,16,"
           u"1536,,,(no ZoneId),,,,Yes\r\n"
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
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

}  // namespace streamscan

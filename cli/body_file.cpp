#include "cli/body_file.h"

#include "engine/display_escape.h"
#include "engine/path_forms.h"
#include "engine/report_file.h"
#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

std::string number(std::uint64_t value) {
    return std::to_string(value);
}

std::string seconds(const streamscan::Timestamp& time) {
    return time.digits == 0 ? "0" : std::to_string(time.unixSeconds);
}

// As the library's own body files write it: the type, a slash, then ls's form.
std::string modeText(const streamscan::StreamRecord& record) {
    const std::uint32_t mode = record.hostDetails.mode;
    const char type = record.hostIsFolder ? 'd' : 'r';
    std::string text{type, '/', type};
    if (mode == 0)
        return text + "rwxrwxrwx";  // NTFS keeps no Unix permissions
    const char* const letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400u >> bit)) != 0 ? letters[bit] : '-';
    return text;
}

}  // namespace

std::string bodyFileLine(const streamscan::StreamRecord& record, const RowExtras& extras) {
    std::string md5 = "0";
    for (const auto& [kind, hex] : extras.digests) {
        if (kind == streamscan::DigestKind::md5 && !hex.empty())
            md5 = hex;
    }
    // A field separator in a name would shift every field after it.
    std::u16string name =
        streamscan::escapeForDisplay(streamscan::hostPathOf(record) + u":" + record.streamName);
    for (std::size_t at = name.find(u'|'); at != std::u16string::npos; at = name.find(u'|', at))
        name.replace(at, 1, u"<U+007C>");
    const streamscan::ItemDetails& details = record.hostDetails;
    std::string inode = number(record.hostIdentity.known ? record.hostIdentity.file : 0);
    if (details.mftKnown)
        inode = number(details.mftEntry) + "-128-" + number(record.attributeId);
    const streamscan::ItemTimes& times = details.times;
    return md5 + "|" + streamscan::utf8ForDisplay(name) + "|" + inode + "|" + modeText(record) +
           "|" + number(details.uid) + "|" + number(details.gid) + "|" + number(record.streamSize) +
           "|" + seconds(times.accessed) + "|" + seconds(times.modified) + "|" +
           seconds(times.changed) + "|" + seconds(times.created) + "\n";
}

bool writeBodyFile(const std::u16string& path, const std::string& lines,
                   const std::vector<streamscan::StreamRecord>& records, std::u16string* message,
                   streamscan::FileSystem& fs) {
    return streamscan::writeReportFile(
        path, records, message, fs, [&](streamscan::FileWriter& file) {
            return streamscan::writeAllBytes(
                file, reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size(), message);
        });
}

}  // namespace tessalin::cli

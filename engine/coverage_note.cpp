// The lines that end a report when the scan left something unexamined, so a
// short report never reads as a clean one.
#include "engine/csv_report.h"
#include "engine/value_text.h"

namespace streamscan {

std::u16string csvQuote(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size() + 2);
    out.push_back(u'"');
    for (const char16_t c : text) {
        if (c == u'"')
            out.push_back(u'"');
        out.push_back(c);
    }
    out.push_back(u'"');
    return out;
}

void appendPlainCount(std::u16string& text, std::uint64_t count, std::u16string_view singular,
                      std::u16string_view plural) {
    if (count == 0)
        return;
    if (!text.empty())
        text += u", ";
    text += plainDecimal(count);
    text.push_back(u' ');
    text += count == 1 ? singular : plural;
}

std::u16string coverageNote(const ScanStats& stats) {
    if (!stats.cancelled && stats.accessDenied == 0 && stats.listFailed == 0 &&
        stats.unreadableStreams == 0 && stats.linksNotFollowed == 0 &&
        stats.volumesWithoutStreams == 0) {
        return {};
    }

    // The record lines end in \r\n already, so this leaves one empty line.
    std::u16string note = u"\r\n";
    if (stats.cancelled) {
        note += csvQuote(u"Scan cancelled before it finished");
        note += u"\r\n";
    }
    std::u16string missed;
    appendPlainCount(missed, stats.accessDenied, u"denied", u"denied");
    appendPlainCount(missed, stats.listFailed, u"could not be listed", u"could not be listed");
    appendPlainCount(missed, stats.unreadableStreams, u"unreadable", u"unreadable");
    appendPlainCount(missed, stats.linksNotFollowed, u"link not followed", u"links not followed");
    appendPlainCount(missed, stats.volumesWithoutStreams, u"volume without stream support",
                     u"volumes without stream support");
    if (!missed.empty()) {
        note += csvQuote(u"Not examined: " + missed);
        note += u"\r\n";
    }
    return note;
}

}  // namespace streamscan

#include "engine/coverage_note.h"

#include "engine/csv_field.h"
#include "engine/not_examined.h"
#include "engine/value_text.h"

namespace streamscan {

namespace {

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

}  // namespace

std::u16string coverageNote(const ScanStats& stats, std::uint64_t rowsFilteredOut) {
    if (stats.everythingExamined() && rowsFilteredOut == 0) {
        return {};
    }

    // The record lines end in \r\n already, so this leaves one empty line.
    std::u16string note = u"\r\n";
    if (stats.cancelled) {
        note += detail::csvField(u"Scan cancelled before it finished", true);
        note += u"\r\n";
    }
    std::u16string missed;
    for (const NotExaminedCounter& counter : notExaminedCounters())
        appendPlainCount(missed, stats.*counter.count, counter.noteOne, counter.noteMany);
    if (!missed.empty()) {
        note += detail::csvField(u"Not examined: " + missed, true);
        note += u"\r\n";
    }
    std::u16string filtered;
    appendPlainCount(filtered, rowsFilteredOut, u"row", u"rows");
    if (!filtered.empty()) {
        note += detail::csvField(u"Left out by the filter: " + filtered, true);
        note += u"\r\n";
    }
    return note;
}

}  // namespace streamscan

#include "frontend/export_texts.h"

#include "engine/display_escape.h"
#include "engine/not_examined.h"
#include "engine/value_text.h"
#include "frontend/status_texts.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;

// At least `width` digits, as %0Nd writes a non-negative number.
void appendPadded(std::u16string& text, int value, std::size_t width) {
    if (value < 0) {
        // Not a time GetLocalTime hands out; written as wsprintfW would, sign first.
        text += u'-';
        value = -value;
    }
    const std::u16string digits = streamscan::plainDecimal(static_cast<std::uint64_t>(value));
    if (digits.size() < width)
        text.append(width - digits.size(), u'0');
    text += digits;
}

// Links not followed are left out: an empty report after skipping links still
// says something about everything else.
bool missedContent(const ScanStats& stats) {
    return stats.cancelled || streamscan::somethingUnread(stats) ||
           stats.volumesWithoutStreams != 0;
}

bool missedAnything(const ScanStats& stats) {
    return !stats.everythingExamined();
}

std::u16string rowsPhrase(std::uint64_t rowCount) {
    return streamscan::countPhrase(rowCount, u"row", u"rows");
}

}  // namespace

BoxMessage nothingToExportMessage(const ScanStats& stats) {
    std::u16string text(kNothingToExportText);
    if (missedContent(stats)) {
        text += u"\n\nThe last scan did not cover everything - ";
        text += notExaminedSummary(stats, true);
        text += u" - so an empty report would not mean much.";
    }
    return {std::move(text), kInformationBox};
}

std::u16string defaultExportFileName(const streamscan::CivilTime& localTime) {
    std::u16string name = u"Tessalin_";
    appendPadded(name, localTime.year, 4);
    appendPadded(name, localTime.month, 2);
    appendPadded(name, localTime.day, 2);
    name += u'_';
    appendPadded(name, localTime.hour, 2);
    appendPadded(name, localTime.minute, 2);
    appendPadded(name, localTime.second, 2);
    name += u".csv";
    return name;
}

std::u16string saveDialogFailedStatusText(std::uint32_t commonDialogError) {
    return u"The save dialog could not be opened (error " +
           streamscan::decimalText(commonDialogError) + u").";
}

std::vector<streamscan::StreamRecord> rowsToExport(
    const std::vector<streamscan::StreamRecord>& records,
    const std::vector<std::uint64_t>& rowOrder) {
    std::vector<streamscan::StreamRecord> rows;
    rows.reserve(rowOrder.size());
    for (const std::uint64_t index : rowOrder) {
        if (index < records.size())
            rows.push_back(records[static_cast<std::size_t>(index)]);
    }
    return rows;
}

BoxMessage exportSucceededMessage(std::uint64_t rowCount, const std::u16string& path,
                                  const ScanStats& stats) {
    std::u16string text = u"Exported " + rowsPhrase(rowCount) + u" to:\n";
    text += streamscan::escapeForDisplay(path);
    if (missedAnything(stats))
        text += u"\n\nThe report ends with a note of what the scan did not reach.";
    return {std::move(text), kInformationBox};
}

std::u16string exportSucceededStatusText(std::uint64_t rowCount) {
    return u"Exported " + rowsPhrase(rowCount) + u".";
}

BoxMessage exportFailedMessage(const std::u16string& path, const std::u16string& writerError) {
    std::u16string text = u"The report could not be written to:\n";
    text += streamscan::escapeForDisplay(path);
    if (!writerError.empty()) {
        text += u"\n\n";
        // The writer has already escaped the path it quotes; escaping again would mangle it.
        text += writerError;
    }
    return {std::move(text), kErrorBox};
}

}  // namespace tessalin

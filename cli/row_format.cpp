#include "cli/row_format.h"

#include <algorithm>
#include <cstring>

#include "engine/assessment.h"
#include "engine/display_escape.h"
#include "engine/origin_marks.h"
#include "engine/path_forms.h"
#include "engine/unicode.h"
#include "frontend/column_text.h"
#include "frontend/scan_texts.h"
#include "frontend/status_texts.h"

namespace tessalin::cli {
namespace {

constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kYellow = "\x1b[33m";
constexpr std::string_view kReset = "\x1b[0m";
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
// A note cut shorter than this beside its path reads better below it.
constexpr int kShortestCutNote = 20;

void appendPadded(std::string& line, const std::string& text, int width, bool alignRight) {
    const int padding = width - displayWidth(text);
    if (alignRight && padding > 0)
        line.append(static_cast<std::size_t>(padding), ' ');
    line += text;
    if (!alignRight && padding > 0)
        line.append(static_cast<std::size_t>(padding), ' ');
}

void appendGap(std::string& line) {
    line.append(kColumnGap, ' ');
}

// The fixed-width columns come first, so a long path can only push the note.
std::string composeRow(const std::string& severity, const std::string& size,
                       const std::string& zone, const std::string& path, const std::string& note,
                       const RowLayout& layout) {
    std::string line;
    line.reserve(path.size() + note.size() + 64);
    appendPadded(line, severity, kSeverityWidth, false);
    appendGap(line);
    appendPadded(line, size, kSizeWidth, true);
    appendGap(line);
    appendPadded(line, zone, kZoneWidth, false);
    appendGap(line);
    appendPadded(line, path, layout.pathWidth, false);
    if (!note.empty()) {
        appendGap(line);
        line += note;
    }
    // Columns left empty at the end leave no trailing blanks behind.
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// The first `columns` code points of a UTF-8 text.
std::string firstColumns(const std::string& text, int columns) {
    std::size_t end = 0;
    int taken = 0;
    while (end < text.size()) {
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80) {
            if (taken == columns)
                break;
            ++taken;
        }
        ++end;
    }
    return text.substr(0, end);
}

// At most `columns` columns of a text, its end given up for an ellipsis when cut.
std::string shortened(const std::string& text, int columns) {
    if (columns < 0 || displayWidth(text) <= columns)
        return text;
    if (columns < 1)
        return {};
    return firstColumns(text, columns - 1) + std::string(kEllipsis);
}

// What a download mark's note says: the words, the address, and the referrer
// that may follow it. Empty words when the row's note is not about an address.
struct AddressNote {
    std::u16string words;
    std::u16string address;
    std::u16string referrer;
};

AddressNote addressNote(const streamscan::StreamRecord& record, const std::u16string& note) {
    const streamscan::ZoneInfo& zone = record.zone;
    const std::u16string downloaded = u"Downloaded from ";
    if (zone.hostUrl.empty() && zone.referrerUrl.empty())
        return {};
    if (streamscan::equalsAsciiNoCase(record.streamName, streamscan::kXdgReferrerName)) {
        // The referrer's own row says the referrer; the origin has a row of its own.
        if (note == downloaded + zone.hostUrl && !zone.referrerUrl.empty())
            return {u"Referred by ", zone.referrerUrl, {}};
        return {};
    }
    if (zone.hostUrl.empty())
        return {};
    if (note == downloaded + zone.hostUrl ||
        (note.empty() && zone.isZoneIdentifier && !record.unreadable)) {
        return {downloaded, zone.hostUrl, zone.referrerUrl};
    }
    return {};
}

}  // namespace

std::string rowNote(const streamscan::StreamRecord& record, int room, bool withZone) {
    const bool itemRow = record.streamName.empty();
    // An item row has no stream column here, so the list's "(no alternate streams)"
    // stands where the note would be.
    const std::u16string note = itemRow ? columnText(record, kColumnStream) : noteText(record);
    const AddressNote address = itemRow ? AddressNote() : addressNote(record, note);
    std::string lead;
    if (withZone && !itemRow) {
        lead = consoleText(columnText(record, kColumnZone));
        if (!lead.empty() && (!note.empty() || !address.words.empty()))
            lead += ": ";
    }
    if (address.words.empty())
        return shortened(lead + consoleText(note), room);
    const std::string origin = lead + consoleText(address.words + address.address);
    if (!address.referrer.empty()) {
        const std::string full = origin + consoleText(u", referred by " + address.referrer);
        if (room < 0 || displayWidth(full) <= room)
            return full;
    }
    return shortened(origin, room);
}

RowLayout rowLayoutForWidth(int terminalWidth) {
    const int fixed = kSeverityWidth + kSizeWidth + kZoneWidth + 4 * kColumnGap + kNoteReserve;
    RowLayout layout;
    layout.pathWidth = terminalWidth - fixed;
    if (layout.pathWidth < kMinimumPathWidth)
        layout.pathWidth = kMinimumPathWidth;
    return layout;
}

RowLayout terminalRowLayout(int width) {
    RowLayout layout;
    layout.terminalWidth = std::max(width, kMinimumPathWidth);
    return layout;
}

bool colourWanted(bool stdoutIsTerminal, const char* noColor, const char* term) {
    if (!stdoutIsTerminal)
        return false;
    if (noColor != nullptr && noColor[0] != '\0')
        return false;
    return term == nullptr || std::strcmp(term, "dumb") != 0;
}

std::string consoleText(std::u16string_view text) {
    return streamscan::utf8ForDisplay(streamscan::escapeForDisplay(text));
}

int displayWidth(std::string_view utf8) {
    int width = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++width;
    }
    return width;
}

namespace {

// A row that fits the terminal: severity and size only as wide as they get,
// then the path and the zone and note after it; a path that does not fit goes
// below, indented, in pieces that each fit, so nothing wraps through the columns.
std::string terminalRow(const streamscan::StreamRecord& record, int width) {
    std::string line;
    appendPadded(line, consoleText(columnText(record, kColumnSeverity)), kTerminalSeverityWidth,
                 false);
    appendGap(line);
    appendPadded(line, consoleText(columnText(record, kColumnSize)), kSizeWidth, true);
    appendGap(line);
    const std::string path = consoleText(streamscan::recordStreamPath(record));
    const int used = displayWidth(line);
    const int fullNote = displayWidth(rowNote(record, -1, true));
    const int room = width - used - displayWidth(path) - kColumnGap;
    if (used + displayWidth(path) <= width &&
        (fullNote == 0 || room >= std::min(fullNote, kShortestCutNote))) {
        line += path;
        if (fullNote != 0) {
            appendGap(line);
            line += rowNote(record, room, true);
        }
        return line;
    }
    line += rowNote(record, width - used, true);
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    const int piece = std::max(width - kPathIndent, 1);
    std::string rest = path;
    while (!rest.empty()) {
        const std::string part = firstColumns(rest, piece);
        line += '\n';
        line.append(kPathIndent, ' ');
        line += part;
        rest.erase(0, part.size());
    }
    return line;
}

}  // namespace

std::string formatRow(const streamscan::StreamRecord& record, const RowLayout& layout,
                      bool colour) {
    const bool itemRow = record.streamName.empty();
    std::string line = layout.terminalWidth != 0
                           ? terminalRow(record, layout.terminalWidth)
                           : composeRow(consoleText(columnText(record, kColumnSeverity)),
                                        consoleText(columnText(record, kColumnSize)),
                                        consoleText(columnText(record, kColumnZone)),
                                        consoleText(streamscan::recordStreamPath(record)),
                                        rowNote(record, -1, false), layout);
    if (colour && !itemRow) {
        if (record.severity == streamscan::kSeverityAlert) {
            line = std::string(kRed) + line + std::string(kReset);
        } else if (record.severity == streamscan::kSeverityNotice) {
            line = std::string(kYellow) + line + std::string(kReset);
        }
    }
    line += '\n';
    return line;
}

std::string formatHeader(const RowLayout& layout) {
    if (layout.terminalWidth != 0)
        return {};
    return composeRow("Severity", "Size", "Zone", "Path", "Note", layout) + "\n";
}

std::string progressLine(const std::u16string& folder, const streamscan::ScanStats& stats,
                         std::uint64_t streamRows, int width) {
    StatusState state;
    state.scanning = true;
    state.stats = stats;
    state.streamRowCount = streamRows;
    std::string line =
        consoleText(scanCountsText(state)) + " | " + consoleText(streamsListedText(state)) + " | ";
    // The window's progress words; the label stays whole and the folder gives way.
    const std::string label = streamscan::utf8ForDisplay(scanProgressText(u""));
    std::string where = consoleText(folder);
    // The last column is left free so the cursor never wraps to a new line.
    const int room = width - 1 - displayWidth(line) - displayWidth(label);
    if (room <= 3)
        return firstColumns(line + label, width - 1);
    if (displayWidth(where) > room) {
        // The end of a path says more than its start; drop code points from the front.
        int excess = displayWidth(where) - (room - 3);
        std::size_t cut = 0;
        while (cut < where.size() && excess > 0) {
            ++cut;
            while (cut < where.size() && (static_cast<unsigned char>(where[cut]) & 0xC0) == 0x80)
                ++cut;
            --excess;
        }
        where = "..." + where.substr(cut);
    }
    return line + label + where;
}

}  // namespace tessalin::cli

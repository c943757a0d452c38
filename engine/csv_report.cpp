#include "engine/csv_report.h"

#include <algorithm>
#include <exception>
#include <new>
#include <vector>

#include "engine/assessment.h"
#include "engine/csv_field.h"
#include "engine/display_escape.h"
#include "engine/output_target.h"
#include "engine/path_forms.h"
#include "engine/report_file.h"
#include "engine/platform_text.h"
#include "engine/removal.h"
#include "engine/value_text.h"
#include "engine/win_codes.h"
#include "engine/zone_identifier.h"

namespace streamscan {
namespace {

using detail::appendCsvField;
using detail::kMaxWritePiece;
using detail::kReportReserve;
using detail::kReportSlice;
using detail::writeReportBuffer;

constexpr char16_t kReportHeader[] =
    u"Severity,Note,Path,Host Type,Stream,Stream Type,Stream Size,Stream Size (bytes),"
    u"Host Size (bytes),Host Attributes,Host Modified,Zone,Zone Id,Host URL,Referrer URL,"
    u"Readable\r\n";

constexpr char16_t kByteOrderMark = 0xFEFF;

// A spreadsheet runs a cell that starts with one of these as a formula.
bool startsLikeFormula(const std::u16string& text) {
    if (text.empty())
        return false;
    const char16_t c = text.front();
    return c == u'=' || c == u'+' || c == u'-' || c == u'@';
}

void appendRecordLine(std::u16string& report, const StreamRecord& record, PathStyle style) {
    const bool streamRow = !record.streamName.empty();
    appendCsvField(report, severityName(record.severity), false);
    appendCsvField(report, record.note, false);
    appendCsvField(report, hostPathOf(record, style), false);
    appendCsvField(report, record.hostIsFolder ? u"Folder" : u"File", false);
    appendCsvField(report, record.streamName, false);
    appendCsvField(report, record.streamType, false);
    appendCsvField(
        report,
        streamRow ? streamSizeText(record.streamSize, record.streamSizeAtLeast) : std::u16string(),
        false);
    // A lower bound is no byte count: the column stays empty rather than state a false one.
    appendCsvField(
        report,
        streamRow && !record.streamSizeAtLeast ? plainDecimal(record.streamSize) : std::u16string(),
        false);
    appendCsvField(report, plainDecimal(record.hostSize), false);
    appendCsvField(report, attributesText(record.hostAttributes), false);
    appendCsvField(report, timeText(record.hostModified), false);
    appendCsvField(report, reportZoneText(record.zone), false);
    appendCsvField(report,
                   record.zone.zoneIdParsed ? signedDecimal(record.zone.zoneId) : std::u16string(),
                   false);
    appendCsvField(report, record.zone.hostUrl, false);
    appendCsvField(report, record.zone.referrerUrl, false);
    appendCsvField(report, streamRow ? (record.unreadable ? u"No" : u"Yes") : u"", true);
}

// Builds the whole text and writes it slice by slice. The text buffer lives only
// inside, so on failure its memory is already given back when the caller cleans up.
bool writeReportText(FileWriter& file, const std::vector<StreamRecord>& records,
                     const ScanStats* stats, std::uint64_t rowsFilteredOut, PathStyle style,
                     std::u16string* message) {
    std::u16string report;
    report.reserve(kReportReserve);
    report.push_back(kByteOrderMark);
    report += kReportHeader;
    for (const StreamRecord& record : records) {
        appendRecordLine(report, record, style);
        if (report.size() >= kReportSlice) {
            if (!writeReportBuffer(file, report, message))
                return false;
            report.clear();
        }
    }
    if (stats != nullptr)
        report += coverageNote(*stats, rowsFilteredOut);
    return writeReportBuffer(file, report, message);
}

}  // namespace

namespace detail {

std::u16string csvField(const std::u16string& text, bool alwaysQuote) {
    std::u16string shown = escapeForDisplay(text);
    const bool guard = startsLikeFormula(shown);
    if (!alwaysQuote && !guard && shown.find_first_of(u"\",") == std::u16string::npos)
        return shown;

    std::u16string out;
    out.reserve(shown.size() + 4);
    out.push_back(u'"');
    if (guard)
        out.push_back(u'\'');
    for (const char16_t c : shown) {
        if (c == u'"')
            out.push_back(u'"');
        out.push_back(c);
    }
    out.push_back(u'"');
    return out;
}

void appendCsvField(std::u16string& report, const std::u16string& text, bool lastField) {
    report += csvField(text);
    report += lastField ? u"\r\n" : u",";
}

bool writeReportBuffer(FileWriter& file, const std::u16string& text, std::u16string* message) {
    if (text.empty())
        return true;

    // The bytes are made little-endian here, whatever the host's own order.
    const std::uint64_t total = static_cast<std::uint64_t>(text.size()) * 2;
    std::vector<std::uint8_t> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(total, kMaxWritePiece)));
    std::uint64_t offset = 0;
    while (offset < total) {
        const auto size =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(total - offset, kMaxWritePiece));
        // A short write may stop in the middle of a code unit, so pieces start at
        // any byte.
        for (std::uint32_t i = 0; i < size; ++i) {
            const std::uint64_t at = offset + i;
            const char16_t unit = text[static_cast<std::size_t>(at / 2)];
            piece[i] = static_cast<std::uint8_t>((at % 2 == 0) ? (unit & 0xFF) : (unit >> 8));
        }
        if (!writeAllBytes(file, piece.data(), size, message))
            return false;
        offset += size;
    }
    return true;
}

}  // namespace detail

bool writeCsvReport(const std::u16string& path, const std::vector<StreamRecord>& records,
                    std::u16string* message, const ScanStats* stats, FileSystem& fs,
                    std::uint64_t rowsFilteredOut) {
    refreshTimeZone();
    return writeReportFile(path, records, message, fs, [&](FileWriter& file) {
        return writeReportText(file, records, stats, rowsFilteredOut, fs.pathStyle(), message);
    });
}

}  // namespace streamscan

// Exporting the list as a CSV report (command 1005): the save dialog proposes a
// time-stamped name, the writer gets the rows in the list's order, and the
// outcome is said in a box and in the status bar. The texts come from
// export_texts.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "engine/csv_report.h"
#include "frontend/export_texts.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

// The save dialog's title, its two filters and the extension it adds.
constexpr std::u16string_view kExportDialogTitle = u"Export the list as CSV";
constexpr std::u16string_view kExportDefaultExtension = u"csv";
// Pairs of description and pattern, each ended by NUL, the list by one more NUL,
// as OPENFILENAMEW.lpstrFilter takes them.
constexpr char16_t kExportDialogFilter[] = u"CSV file\0*.csv\0All files\0*.*\0";
// Room the dialog gets for the chosen path, in UTF-16 code units.
constexpr std::size_t kExportPathBufferLength = 32768;

// The writer's own wording for the same shortage, for copying the rows.
constexpr std::u16string_view kNoMemoryForRowsText =
    u"Ran out of memory while building the report.";

// Tessalin_YYYYMMDD_HHMMSS.csv at the start of the dialog's buffer.
void putDefaultFileName(std::vector<wchar_t>& buffer) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::u16string name = defaultExportFileName(
        {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
    std::copy(name.begin(), name.end(), buffer.begin());
}

// The chosen path, or nothing when the dialog was cancelled or failed (the
// failure has then been reported).
bool askForReportPath(MainWindowState& state, std::u16string& path) {
    std::vector<wchar_t> buffer(kExportPathBufferLength, L'\0');
    putDefaultFileName(buffer);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = state.window;
    dialog.lpstrFilter = reinterpret_cast<const wchar_t*>(kExportDialogFilter);
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = wideText(kExportDialogTitle);
    dialog.lpstrDefExt = wideText(kExportDefaultExtension);
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    static_assert((OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST) ==
                  0x80E);

    if (!state.ui->getSaveFileName(&dialog)) {
        const std::uint32_t error = state.ui->commonDialogError();
        if (error != 0) {
            setStatusText(state, saveDialogFailedStatusText(error));
            refreshStatusBar(state);
        }
        return false;
    }
    // A dialog that overran its buffer still leaves a terminated path here.
    buffer.back() = L'\0';
    path = fromWide(buffer.data());
    return true;
}

}  // namespace

void exportList(MainWindowState& state) {
    if (state.scan.running)
        return;
    if (state.rows.rowOrder.empty()) {
        showMessageBox(state, nothingToExportMessage(state.scan.stats));
        return;
    }
    std::u16string path;
    // A drop while the dialog was open may have started a scan meanwhile.
    if (!askForReportPath(state, path) || state.scan.running)
        return;

    std::u16string writerError;
    bool written = false;
    std::uint64_t rowCount = 0;
    try {
        const std::vector<streamscan::StreamRecord> rows =
            rowsToExport(state.rows.records, state.rows.rowOrder);
        rowCount = rows.size();
        written = streamscan::writeCsvReport(path, rows, &writerError, &state.scan.stats,
                                             *state.fileSystem, state.rows.hiddenCount());
    } catch (const std::bad_alloc&) {
        writerError.assign(kNoMemoryForRowsText);
    }

    if (written) {
        showMessageBox(state, exportSucceededMessage(rowCount, path, state.scan.stats));
        setStatusText(state, exportSucceededStatusText(rowCount));
    } else {
        showMessageBox(state, exportFailedMessage(path, writerError));
        setStatusText(state, kReportNotWrittenStatusText);
    }
    refreshStatusBar(state);
}

}  // namespace tessalin

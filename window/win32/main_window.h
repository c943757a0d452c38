// The main window: its class, creation, message routing and the operations the
// window's parts call on one another. Every function runs on the window's thread
// and takes the window's state.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/message_box_style.h"
#include "window/win32/main_window_state.h"

namespace tessalin {

inline constexpr wchar_t kMainWindowClass[] = L"TessalinWindow";

// ---- entry (main_window.cpp) ----
// Registers "TessalinWindow" once per process; true when it is registered.
bool registerMainWindowClass(HINSTANCE instance);
// Creates the window at its start-up size and place, with `state` as its state
// for its whole life. Null when it cannot be created.
HWND createMainWindow(HINSTANCE instance, MainWindowState& state);
// The four accelerators; null when the table cannot be made.
HACCEL createMainAccelerators();
// One message of the loop: accelerators first, else translate and dispatch.
void dispatchWithAccelerators(MSG& message, HWND window, HACCEL accelerators);
// The window procedure (the state travels in GWLP_USERDATA).
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- message boxes (message_boxes.cpp) ----
// A box owned by the main window with the caption "Tessalin", through the seam.
int showMessageBox(MainWindowState& state, std::u16string_view text, UINT style);
int showMessageBox(MainWindowState& state, const BoxMessage& message);

// ---- menus and command states (commands.cpp) ----
HMENU createMainMenu();
void updateCommandStates(MainWindowState& state);
void updateViewChecks(MainWindowState& state);
// WM_COMMAND: true when the identifier is one of the window's commands.
bool onCommand(MainWindowState& state, int command);
bool anyRowSelected(const MainWindowState& state);

// ---- child controls and layout (child_controls.cpp) ----
void createChildControls(MainWindowState& state);
// The window moved to a screen of another DPI: a font for it, the columns'
// widths scaled. The caller lays the window out again.
void changeDpi(MainWindowState& state, std::uint32_t dpi);
void layoutWindow(MainWindowState& state);
void fitColumns(MainWindowState& state, int listWidth);

// ---- the result list (result_list.cpp) ----
// A list notification; the result to return when it was one the list handles.
std::optional<LRESULT> onListNotify(MainWindowState& state, NMHDR* header);
void sortRows(MainWindowState& state, int column, bool toggle);
void showSortArrow(MainWindowState& state, int column);
void clearResults(MainWindowState& state);
void removeRecords(MainWindowState& state, const std::vector<bool>& marked);
// Unselects every row without a selection notification; allocates nothing.
void clearSelection(MainWindowState& state);
// Moves drained records (with their keys, when made) to the bottom of the list
// without scrolling it.
void appendResults(MainWindowState& state, std::vector<streamscan::StreamRecord>&& records,
                   std::vector<RowKeys>&& keys = {});
// The user's collation order as bytes (a CollationKeyMaker); any thread.
bool userCollationKey(std::u16string_view text, std::string& key);
// The selected rows, top to bottom.
std::vector<int> selectedRows(const MainWindowState& state);

// ---- the filter bar (filter_bar.cpp) ----
// Reads the filter bar and shows the rows that pass.
void applyFilterBar(MainWindowState& state);
// WM_COMMAND from a filter control (`code` the notification); true when it was one.
bool onFilterBarNotification(MainWindowState& state, int id, int code);

// ---- status bar and empty list (status_bar.cpp) ----
void setStatusText(MainWindowState& state, std::u16string_view text);
void refreshStatusBar(MainWindowState& state);
void refreshEmptyListText(MainWindowState& state);

// ---- scan lifecycle (scan_lifecycle.cpp) ----
void startScan(MainWindowState& state, const std::vector<std::u16string>& locations);
// Timer 1: drains the worker's output and ends a finished scan.
void onScanTimer(MainWindowState& state);
void endScan(MainWindowState& state, bool explain);

// ---- choosing what to scan (scan_choice.cpp) ----
void chooseFolderAndScan(MainWindowState& state);
void chooseFilesAndScan(MainWindowState& state);
void scanDroppedItems(MainWindowState& state, HDROP drop);
// Every argument after the program name, as CommandLineToArgvW splits them.
std::vector<std::u16string> commandLineLocations(const wchar_t* commandLine);
// Start-up's road: scans the arguments of `commandLine`, if there are any.
void scanCommandLine(MainWindowState& state, const wchar_t* commandLine);

// ---- commands on the rows ----
// The selected rows top to bottom, each as its index into records; rows beyond
// rowOrder are skipped.
std::vector<std::uint64_t> selectedRecordIndices(
    const MainWindowState& state);  // delete_command.cpp
// The list's context menu, its items grayed as the selection and the scan allow;
// the caller destroys it.
HMENU createRowContextMenu(const MainWindowState& state);  // row_commands.cpp
void DeleteSelectedStreams(MainWindowState& state);        // delete_command.cpp
// Timer 2: the removal's progress on the status line, and its end once the
// worker has finished. endRemoval joins the worker and reports (the box only
// with `showBox`).
void onRemovalTimer(MainWindowState& state);                    // delete_command.cpp
void endRemoval(MainWindowState& state, bool showBox);          // delete_command.cpp
void exportList(MainWindowState& state);                        // export_command.cpp
void copySelection(MainWindowState& state, bool wholeRow);      // row_commands.cpp
void openContainingFolder(MainWindowState& state);              // row_commands.cpp
void showProperties(MainWindowState& state);                    // row_commands.cpp
void showRowContextMenu(MainWindowState& state, int x, int y);  // row_commands.cpp
// Stream > Save Streams To...; timer 4 shows its progress and its end.
void saveSelectedStreams(MainWindowState& state);    // save_command.cpp
void onSaveTimer(MainWindowState& state);            // save_command.cpp
void endSave(MainWindowState& state, bool showBox);  // save_command.cpp
// The dialog of the places the last scan did not examine.
void showNotExaminedPlaces(MainWindowState& state);  // places_dialog.cpp
void showDetails(MainWindowState& state,
                 const streamscan::StreamRecord& record);  // details_view.cpp
// Timer 3: shows the details view whose stream's digest a worker has read.
// endDigest joins that worker (stopping it early unless `show`).
void onDigestTimer(MainWindowState& state);         // details_view.cpp
void endDigest(MainWindowState& state, bool show);  // details_view.cpp

}  // namespace tessalin

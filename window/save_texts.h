// Stream > Save Streams To... without a window: the rows it saves, what the
// status line says while the copies are made, and the box at the end. The
// copies and their manifest are made by the front ends' shared engine
// (frontend/extraction.h), as the console's --extract makes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan_types.h"
#include "frontend/message_box_style.h"

namespace tessalin {

inline constexpr std::u16string_view kSelectStreamsToSaveText =
    u"Select the streams to save first: the selected rows have no stream.";
inline constexpr std::u16string_view kSaveFolderDialogTitle =
    u"Choose an empty folder, or make a new one, for the copies and their manifest.";

// The selected records that are stream rows, in selection order; indices
// beyond `records` are skipped.
std::vector<std::uint64_t> streamRowsToSave(const std::vector<streamscan::StreamRecord>& records,
                                            const std::vector<std::uint64_t>& selected);

// "Saving 12 of 300…"
std::u16string saveProgressText(std::uint64_t reached, std::uint64_t total);

struct SaveOutcome {
    std::uint64_t saved = 0;
    std::uint64_t notSaved = 0;    // could not be read or written
    std::uint64_t notReached = 0;  // left when the user cancelled
};

// How many were saved and how many could not be, and the question whether to
// open the folder (Yes/No, Yes by default).
BoxMessage savedMessage(const SaveOutcome& outcome, const std::u16string& folder);
// The folder could not be used, or the manifest could not be completed (then
// no copy is left behind).
BoxMessage saveFailedMessage(const std::u16string& folder, const std::u16string& reason);
// "Saved 3 streams."
std::u16string savedStatusText(std::uint64_t saved);

}  // namespace tessalin

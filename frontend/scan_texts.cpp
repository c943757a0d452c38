#include "frontend/scan_texts.h"

#include "engine/not_examined.h"

#include "engine/display_escape.h"
#include "engine/tree_walk.h"
#include "engine/value_text.h"
#include "frontend/root_preparation.h"

namespace tessalin {

using streamscan::ScanStats;

std::u16string scanStartText(const std::vector<std::u16string>& roots, std::uint64_t duplicates,
                             std::uint64_t nested) {
    std::u16string text;
    if (roots.size() == 1) {
        text = u"Scanning: ";
        text += streamscan::escapeForDisplay(roots.front());
    } else {
        text = u"Scanning ";
        text += streamscan::countPhrase(roots.size(), u"location", u"locations");
        text += u"...";
    }
    text += rootListNote(duplicates, nested);
    return text;
}

std::u16string scanProgressText(const std::u16string& folder) {
    return u"Scanning: " + streamscan::escapeForDisplay(folder);
}

std::u16string scanEndText(const ScanStats& stats, std::uint64_t duplicates, std::uint64_t nested) {
    std::u16string text(stats.cancelled ? kScanCancelledText : kScanCompleteText);
    text += rootListNote(duplicates, nested);
    return text;
}

ScanEndBox chooseScanEndBox(const ScanStats& stats, bool listHasRows) {
    if (stats.volumesWithoutStreams != 0) {
        return ScanEndBox::volumeWithoutStreams;
    }
    if (listHasRows) {
        return ScanEndBox::none;
    }
    // Links not followed alone do not make an empty list doubtful: the empty
    // list's own text already names them.
    if (!streamscan::somethingUnread(stats) && !stats.cancelled) {
        return ScanEndBox::none;
    }
    return ScanEndBox::emptyResult;
}

std::u16string volumeMessageText(const ScanStats& stats, const std::vector<std::u16string>& roots,
                                 streamscan::FileSystem& fs) {
    // Asked through the scan's port: the window's remembers what the scan was
    // told (the volume memo), so an offline volume cannot make this wait.
    std::u16string lines;
    for (const std::u16string& root : roots) {
        const streamscan::VolumeInfo volume = streamscan::queryVolume(root, fs);
        if (!volume.known || volume.namedStreams || volume.notRecognised) {
            continue;
        }
        lines += u"\n    ";
        lines += streamscan::escapeForDisplay(root);
        if (!volume.fileSystemName.empty()) {
            lines += u"  (";
            lines += streamscan::escapeForDisplay(volume.fileSystemName);
            lines += u")";
        }
    }

    std::u16string text = u"Alternate data streams are an NTFS feature, and ";
    text += streamscan::countPhrase(stats.volumesWithoutStreams, u"location", u"locations");
    text += u" in this scan sit on a volume that cannot hold one.";
    if (!lines.empty()) {
        text += u"\n";
        text += lines;
    }
    text +=
        u"\n\nNothing was listed for those locations. That is not the same as their being "
        u"clean: a volume like this has nowhere to keep a stream.";
    if (stats.cancelled) {
        text +=
            u"\n\nThe scan was also stopped before it finished, so the rest of what was "
            u"chosen was not covered either.";
    }
    return text;
}

std::u16string emptyResultMessageText(const ScanStats& stats) {
    struct Detail {
        std::uint64_t count;
        std::u16string_view label;
    };
    const Detail details[] = {
        {stats.accessDenied, u"\n    Access denied: "},
        {stats.listFailed, u"\n    Could not be listed: "},
        {stats.unreadableStreams, u"\n    Streams found but unreadable: "},
        {stats.linksNotFollowed, u"\n    Junctions and symlinks not followed: "},
    };
    std::u16string lines;
    for (const Detail& detail : details) {
        if (detail.count != 0) {
            lines += detail.label;
            lines += streamscan::groupedNumber(detail.count);
        }
    }

    std::u16string text = u"No alternate data streams were listed, and the scan ";
    text += stats.cancelled ? u"was stopped before it finished" : u"did not reach everything";
    if (lines.empty()) {
        text += u".";
    } else {
        text += u":";
        text += lines;
    }
    if (stats.cancelled) {
        text +=
            u"\n\nA scan that was stopped says nothing at all about the part of the tree it "
            u"never reached, and where several locations were chosen it may not have opened "
            u"some of them.";
    }
    text +=
        u"\n\nAn empty list only means \"nothing found\" for the part of the tree that could "
        u"be read.";
    return text;
}

ScanEndExplanation scanEndExplanation(const ScanStats& stats, bool listHasRows,
                                      const std::vector<std::u16string>& roots,
                                      streamscan::FileSystem& fs) {
    ScanEndExplanation explanation;
    explanation.box = chooseScanEndBox(stats, listHasRows);
    switch (explanation.box) {
        case ScanEndBox::volumeWithoutStreams:
            explanation.text = volumeMessageText(stats, roots, fs);
            break;
        case ScanEndBox::emptyResult:
            explanation.text = emptyResultMessageText(stats);
            break;
        case ScanEndBox::none:
            break;
    }
    return explanation;
}

}  // namespace tessalin

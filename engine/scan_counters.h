// Every counter of a ScanStats by name, so that what prints them all (test
// messages, the benchmark driver) cannot miss one.
#pragma once

#include "engine/scan_types.h"

namespace streamscan {

// Calls visit(name, value) in the order declared; `cancelled` is no counter.
template <class Visit>
void forEachCounter(const ScanStats& stats, Visit visit) {
    visit("files", stats.files);
    visit("folders", stats.folders);
    visit("itemsWithStreams", stats.itemsWithStreams);
    visit("streams", stats.streams);
    visit("accessDenied", stats.accessDenied);
    visit("listFailed", stats.listFailed);
    visit("unreadableStreams", stats.unreadableStreams);
    visit("linksNotFollowed", stats.linksNotFollowed);
    visit("volumesWithoutStreams", stats.volumesWithoutStreams);
    visit("volumesNotRecognised", stats.volumesNotRecognised);
    visit("volumesHidingStreams", stats.volumesHidingStreams);
    visit("fileSystemStreams", stats.fileSystemStreams);
    visit("metadataAttributes", stats.metadataAttributes);
    visit("excluded", stats.excluded);
    visit("linkLoops", stats.linkLoops);
}

}  // namespace streamscan

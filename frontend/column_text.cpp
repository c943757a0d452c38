#include "frontend/column_text.h"

#include "engine/assessment.h"
#include "engine/path_forms.h"
#include "engine/platform_text.h"
#include "engine/stream_listing.h"
#include "engine/value_text.h"
#include "engine/zone_identifier.h"

namespace tessalin {
namespace {

using streamscan::StreamRecord;

constexpr std::u16string_view kCouldNotBeRead = u"could not be read";

bool isItemRow(const StreamRecord& record) {
    return record.streamName.empty();
}

std::u16string streamColumnText(const StreamRecord& record) {
    if (isItemRow(record))
        return u"(no alternate streams)";
    // The type is only worth showing when it is something other than the usual $DATA.
    if (!streamscan::isDataStreamType(record.streamType)) {
        return record.streamName + u":" + record.streamType;
    }
    return record.streamName;
}

}  // namespace

std::u16string noteText(const StreamRecord& record) {
    if (!record.unreadable)
        return record.note;
    if (record.note.empty())
        return u"Stream content could not be read";
    // A note that already says so is not repeated.
    if (record.note.find(kCouldNotBeRead) != std::u16string::npos)
        return record.note;
    return record.note + u"; content could not be read";
}

std::u16string columnText(const StreamRecord& record, int column) {
    switch (column) {
        case kColumnSeverity:
            return isItemRow(record) ? std::u16string()
                                     : std::u16string(streamscan::severityName(record.severity));
        case kColumnPath:
            return streamscan::hostPathOf(record);
        case kColumnStream:
            return streamColumnText(record);
        case kColumnSize:
            return isItemRow(record)
                       ? std::u16string()
                       : streamscan::streamSizeText(record.streamSize, record.streamSizeAtLeast);
        case kColumnZone:
            return streamscan::zoneText(record.zone);
        case kColumnHostUrl:
            return record.zone.hostUrl;
        case kColumnNote:
            return noteText(record);
        case kColumnModified:
            return streamscan::timeText(record.hostModified);
        case kColumnAttributes:
            return streamscan::attributesText(record.hostAttributes);
        default:
            return {};
    }
}

}  // namespace tessalin

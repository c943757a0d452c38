#include "engine/assessment.h"

#include "engine/origin_marks.h"

#include "engine/unicode.h"
#include "engine/value_text.h"

namespace streamscan {
namespace {

constexpr std::u16string_view kExecutableExtensions[] = {
    u"exe", u"dll", u"scr", u"sys", u"com", u"bat", u"cmd", u"ps1", u"psm1",
    u"vbs", u"vbe", u"js",  u"jse", u"wsf", u"wsh", u"msi", u"msp", u"hta",
    u"cpl", u"ocx", u"drv", u"efi", u"pif", u"lnk", u"jar", u"reg",
};

// Whole names only: the property-set streams Office writes begin with U+0005,
// and that form is deliberately not in this list.
constexpr std::u16string_view kWellKnownStreamNames[] = {
    u"Zone.Identifier",
    u"SummaryInformation",
    u"DocumentSummaryInformation",
    u"favicon",
    u"OECustomProperty",
    u"{4c8cc155-6c1e-11d1-8e41-00c04fb9386d}",
    u"AFP_AfpInfo",
    u"AFP_Resource",
    u"com.apple.quarantine",
    u"com.apple.metadata",
    u"com.dropbox.attributes",
    u"WofCompressedData",
    u"encryptable",
    u"SmartScreen",
};

constexpr std::uint64_t kLargerThanHostMinimum = 4096;

std::uint32_t conclude(std::u16string* note, std::u16string_view text, std::uint32_t severity) {
    if (note != nullptr)
        note->assign(text);
    return severity;
}

}  // namespace

bool hasExecutableExtension(std::u16string_view name) {
    if (name.empty())
        return false;
    const std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return false;
    const std::size_t separator = name.find_last_of(u"\\/");
    if (separator != std::u16string_view::npos && dot <= separator)
        return false;
    const std::u16string_view extension = name.substr(dot + 1);
    if (extension.empty())
        return false;
    for (const auto candidate : kExecutableExtensions) {
        if (equalsAsciiNoCase(extension, candidate))
            return true;
    }
    return false;
}

bool isWellKnownStreamName(std::u16string_view name) {
    if (name.empty())
        return false;
    for (const auto candidate : kWellKnownStreamNames) {
        if (equalsAsciiNoCase(name, candidate))
            return true;
    }
    return false;
}

const char16_t* severityName(std::uint32_t severity) {
    switch (severity) {
        case kSeverityNotice:
            return u"Notice";
        case kSeverityAlert:
            return u"Alert";
        default:
            return u"";
    }
}

// The rules are tried in order and the first that applies decides; notes are
// never combined. Texts are built only when the caller asked for a note.
std::uint32_t assessStream(const StreamRecord& record, std::u16string* note,
                           std::uint64_t largeStreamThreshold) {
    if (note != nullptr)
        note->clear();
    if (record.streamName.empty())
        return kSeverityNone;

    const std::uint64_t threshold =
        largeStreamThreshold == 0 ? kDefaultLargeStreamThreshold : largeStreamThreshold;
    const bool isZone = equalsAsciiNoCase(record.streamName, u"Zone.Identifier");
    // What a download leaves is expected on a program, whatever its size.
    const bool isOrigin = isDownloadMark(record.streamName);
    bool quietName = false;

    const ContentKind kind = record.contentKind;
    if (kind == ContentKind::windowsExe || kind == ContentKind::windowsDll)
        return conclude(note, contentKindNote(kind), kSeverityAlert);
    if (record.headLength >= 2 && record.head[0] == 0x4D && record.head[1] == 0x5A) {
        return conclude(note, u"Stream content starts with MZ (executable image)", kSeverityAlert);
    }
    if (hasExecutableExtension(record.streamName)) {
        return conclude(note, u"Stream is named like an executable or script", kSeverityAlert);
    }
    if (!isOrigin && hasExecutableExtension(record.hostName)) {
        if (isWellKnownStreamName(record.streamName)) {
            quietName = true;
        } else {
            return conclude(note, u"Alternate stream on an executable file", kSeverityAlert);
        }
    }
    // A program or script of another kind is as much an Alert as MZ; the rules
    // above, which the content would otherwise meet, keep their own notes.
    if (isProgramKind(kind))
        return conclude(note, contentKindNote(kind), kSeverityAlert);
    if (record.hostIsFileSystemFile) {
        return conclude(note, u"Stream on a file NTFS keeps for itself", kSeverityNotice);
    }
    if (record.streamSize >= threshold) {
        if (note == nullptr)
            return kSeverityNotice;
        return conclude(note,
                        u"Stream is " +
                            streamSizeText(record.streamSize, record.streamSizeAtLeast) +
                            u", unusually large for an alternate stream",
                        kSeverityNotice);
    }
    if (!isOrigin && record.hostSize != 0 && record.streamSize > record.hostSize &&
        record.streamSize >= kLargerThanHostMinimum) {
        if (note == nullptr)
            return kSeverityNotice;
        std::u16string stream = streamSizeText(record.streamSize, record.streamSizeAtLeast);
        std::u16string host = sizeText(record.hostSize);
        // Rounded alike, the two would read as equal and the note would contradict itself.
        if (stream == host || stream == u"at least " + host) {
            stream = (record.streamSizeAtLeast ? u"at least " : u"") +
                     groupedNumber(record.streamSize) + u" bytes";
            host = groupedNumber(record.hostSize) + u" bytes";
        }
        return conclude(
            note, u"Stream is larger than the file itself (" + stream + u" against " + host + u")",
            kSeverityNotice);
    }
    if (isZone) {
        const ZoneInfo& zone = record.zone;
        if (record.unreadable) {
            return conclude(note, u"Zone.Identifier stream could not be read", kSeverityNotice);
        }
        if (zone.zoneIdParsed && zone.zone == kNoZone) {
            if (note == nullptr)
                return kSeverityNotice;
            return conclude(
                note,
                u"ZoneId " + signedDecimal(zone.zoneId) + u" is outside the documented range 0-4",
                kSeverityNotice);
        }
        if (zone.zoneIdPresent && !zone.zoneIdParsed) {
            return conclude(note, u"ZoneId is present but is not a number this can read",
                            kSeverityNotice);
        }
    }
    if (isXdgOriginStream(record.streamName) && !record.zone.hostUrl.empty()) {
        if (note == nullptr)
            return kSeverityNone;
        return conclude(note, u"Downloaded from " + record.zone.hostUrl, kSeverityNone);
    }
    if (quietName) {
        return conclude(note,
                        u"Alternate stream on an executable file, under a name Windows itself uses",
                        kSeverityNotice);
    }
    // A container that can carry code, where no rule above had anything to say.
    if (kind != ContentKind::unknown)
        return conclude(note, contentKindNote(kind), kSeverityNotice);
    return kSeverityNone;
}

}  // namespace streamscan

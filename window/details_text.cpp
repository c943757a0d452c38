#include "window/details_text.h"

#include <cstdio>

#include "engine/assessment.h"
#include "engine/content_kind.h"
#include "engine/display_escape.h"
#include "engine/path_forms.h"
#include "engine/removal.h"
#include "engine/digest.h"
#include "engine/unicode.h"
#include "engine/value_text.h"
#include "engine/zone_identifier.h"
#include "frontend/column_text.h"

namespace tessalin {
namespace {

using streamscan::escapeForDisplay;
using streamscan::StreamRecord;

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

void appendLine(std::u16string& text, std::u16string_view label, std::u16string_view value) {
    text += label;
    text += value;
    text += u'\n';
}

}  // namespace

std::u16string headDump(const std::array<std::uint8_t, 16>& head, std::uint64_t headLength) {
    // headLength comes with the record; never read past the 16 bytes it can describe.
    const std::size_t length =
        headLength < head.size() ? static_cast<std::size_t>(headLength) : head.size();
    if (length == 0)
        return {};
    std::u16string hex;
    std::u16string characters;
    hex.reserve(length * 3);
    characters.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t byte = head[i];
        hex += kHexDigits[byte >> 4];
        hex += kHexDigits[byte & 0x0F];
        hex += u' ';
        characters += byte >= 0x20 && byte <= 0x7E ? static_cast<char16_t>(byte) : u'.';
    }
    return hex + u"  " + characters;
}

std::u16string streamDigestText(streamscan::FileSystem& fs, const StreamRecord& record,
                                const std::atomic<bool>* stop) {
    if (record.streamName.empty())
        return {};
    std::unique_ptr<streamscan::StreamReader> reader;
    std::uint32_t error = fs.openListedStream(record, reader);
    if (error == streamscan::kErrorSuccess && !reader)
        error = streamscan::kErrorInvalidFunction;
    streamscan::Digest hash(streamscan::DigestKind::sha256);
    std::vector<std::uint8_t> buffer;
    if (error == streamscan::kErrorSuccess)
        buffer.resize(64 * 1024);
    while (error == streamscan::kErrorSuccess) {
        if (stop != nullptr && stop->load())
            return u"not read: the view was closed";
        std::uint32_t got = 0;
        error = reader->read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), got);
        if (error != streamscan::kErrorSuccess || got == 0)
            break;
        hash.update(buffer.data(), got);
    }
    if (error != streamscan::kErrorSuccess)
        return u"not known: the stream could not be read (" + streamscan::WindowsErrorText(error) +
               u")";
    const std::string hex = hash.finishHex();
    if (hex.empty())
        return u"not known: the system's SHA-256 could not be used";
    return streamscan::widenAscii(hex);
}

std::u16string detailsText(const StreamRecord& record, streamscan::PathStyle style,
                           std::u16string_view digest) {
    std::u16string text;
    appendLine(text, u"File:\t", escapeForDisplay(streamscan::hostPathOf(record, style)));
    appendLine(text, u"Kind:\t", record.hostIsFolder ? u"Folder" : u"File");
    const std::u16string flags = streamscan::attributesText(record.hostAttributes);
    if (!flags.empty())
        appendLine(text, u"Flags:\t", flags);
    const std::u16string modified = streamscan::timeText(record.hostModified);
    if (!modified.empty())
        appendLine(text, u"Modified:\t", modified);
    if (!record.hostIsFolder)
        appendLine(text, u"File size:\t", streamscan::sizeText(record.hostSize));

    if (record.streamName.empty()) {
        text += record.hostIsFolder ? u"\nThis folder carries no alternate data stream."
                                    : u"\nThis file carries no alternate data stream.";
        return text;
    }

    text += u'\n';
    appendLine(text, u"Stream:\t", escapeForDisplay(record.streamName));
    appendLine(
        text, u"Type:\t",
        escapeForDisplay(record.streamType.empty() ? std::u16string(u"$DATA") : record.streamType));
    appendLine(text, u"Size:\t",
               streamscan::streamSizeText(record.streamSize, record.streamSizeAtLeast));
    appendLine(text, u"Path:\t", escapeForDisplay(streamscan::recordStreamPath(record, style)));
    if (!digest.empty())
        appendLine(text, u"SHA-256:\t", digest);
    // Information only: what the first bytes read say, never a verdict.
    if (record.contentKind != streamscan::ContentKind::unknown)
        appendLine(text, u"Content:\t", streamscan::contentKindPhrase(record.contentKind));
    if (record.entropy >= 0) {
        char bits[32];
        std::snprintf(bits, sizeof bits, "%.2f", record.entropy);
        appendLine(text, u"Entropy:\t",
                   streamscan::widenAscii(bits) + u" bits per byte in what was read");
    }

    if (record.zone.isZoneIdentifier) {
        text += u'\n';
        appendLine(text, u"Zone:\t", escapeForDisplay(streamscan::zoneText(record.zone)));
        if (!record.zone.hostUrl.empty())
            appendLine(text, u"From:\t", escapeForDisplay(record.zone.hostUrl));
        if (!record.zone.referrerUrl.empty())
            appendLine(text, u"Referrer:\t", escapeForDisplay(record.zone.referrerUrl));
    }

    const std::u16string_view severity = streamscan::severityName(record.severity);
    if (!severity.empty()) {
        text += u'\n';
        appendLine(text, u"Flagged:\t", severity);
    }
    // The same words the Note column shows, so the two never disagree.
    const std::u16string reason = noteText(record);
    if (!reason.empty())
        appendLine(text, u"Reason:\t", escapeForDisplay(reason));

    if (record.headLength > 0) {
        text += u"\nFirst bytes:\n";
        text += headDump(record.head, record.headLength);
    }
    return text;
}

BoxMessage detailsMessage(const StreamRecord& record, streamscan::PathStyle style,
                          std::u16string_view digest) {
    return {detailsText(record, style, digest), kInformationBox};
}

}  // namespace tessalin

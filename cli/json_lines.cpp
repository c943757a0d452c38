#include "cli/json_lines.h"

#include <cstdio>

#include "engine/assessment.h"
#include "engine/not_examined.h"
#include "engine/origin_marks.h"
#include "engine/path_forms.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "engine/value_text.h"
#include "engine/zone_identifier.h"

namespace tessalin::cli {
namespace {

struct AttributeName {
    std::uint32_t bit;
    const char* name;
};

// Every attribute bit JSON names, in bit order.
constexpr AttributeName kJsonAttributeNames[] = {
    {0x1, "Read-only"},
    {0x2, "Hidden"},
    {0x4, "System"},
    {0x10, "Directory"},
    {0x20, "Archive"},
    {0x100, "Temporary"},
    {0x200, "Sparse"},
    {0x400, "Reparse point"},
    {0x800, "Compressed"},
    {0x1000, "Offline"},
    {0x2000, "Not content indexed"},
    {0x4000, "Encrypted"},
};

void appendKey(std::string& out, std::string_view key) {
    out += ",\"";
    out += key;
    out += "\":";
}

void appendNumber(std::string& out, std::string_view key, std::uint64_t value) {
    appendKey(out, key);
    out += std::to_string(value);
}

void appendBool(std::string& out, std::string_view key, bool value) {
    appendKey(out, key);
    out += value ? "true" : "false";
}

void appendText(std::string& out, std::string_view key, std::u16string_view text) {
    appendKey(out, key);
    appendJsonString(out, text);
}

void appendNull(std::string& out, std::string_view key) {
    appendKey(out, key);
    out += "null";
}

void appendZone(std::string& out, const streamscan::StreamRecord& record) {
    const streamscan::ZoneInfo& zone = record.zone;
    if (!zone.isZoneIdentifier) {
        for (const char* key : {"zone", "zoneName", "zoneId"})
            appendNull(out, key);
        if (streamscan::isXdgOriginStream(record.streamName)) {
            appendText(out, "hostUrl", zone.hostUrl);
            appendText(out, "referrerUrl", zone.referrerUrl);
        } else {
            appendNull(out, "hostUrl");
            appendNull(out, "referrerUrl");
        }
        return;
    }
    if (zone.zone != streamscan::kNoZone) {
        appendNumber(out, "zone", zone.zone);
    } else {
        appendNull(out, "zone");
    }
    appendText(out, "zoneName", streamscan::reportZoneText(zone));
    appendKey(out, "zoneId");
    out += zone.zoneIdParsed ? std::to_string(zone.zoneId) : "null";
    appendText(out, "hostUrl", zone.hostUrl);
    appendText(out, "referrerUrl", zone.referrerUrl);
}

}  // namespace

std::string isoUtcTime(std::uint64_t fileTime) {
    if (fileTime == 0)
        return {};
    const std::int64_t seconds = static_cast<std::int64_t>(fileTime / 10000000);
    std::int64_t days = seconds / 86400;
    const std::int64_t inDay = seconds % 86400;
    // Days since 1601-01-01 to a civil date (the proleptic Gregorian calendar);
    // 1601 starts a 400-year cycle, so the cycle arithmetic needs no shift of era.
    const std::int64_t cycles = days / 146097;
    days %= 146097;
    std::int64_t centuries = days / 36524;
    if (centuries == 4)
        centuries = 3;
    days -= centuries * 36524;
    const std::int64_t quads = days / 1461;
    days %= 1461;
    std::int64_t years = days / 365;
    if (years == 4)
        years = 3;
    days -= years * 365;
    const std::int64_t year = 1601 + cycles * 400 + centuries * 100 + quads * 4 + years;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    while (days >= monthDays[month]) {
        days -= monthDays[month];
        ++month;
    }
    // Room for whatever the fields could hold, though a FILETIME keeps them small.
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), month + 1, static_cast<long long>(days + 1),
                  static_cast<long long>(inDay / 3600), static_cast<long long>(inDay / 60 % 60),
                  static_cast<long long>(inDay % 60));
    return buffer;
}

namespace {

// The four times of an item, each an ISO 8601 UTC text with the precision the
// file system keeps, or null.
void appendTimes(std::string& out, const char* key, const streamscan::ItemTimes& times) {
    appendKey(out, key);
    const std::pair<const char*, const streamscan::Timestamp*> members[] = {
        {"created", &times.created},
        {"modified", &times.modified},
        {"changed", &times.changed},
        {"accessed", &times.accessed}};
    char separator = '{';
    for (const auto& [name, time] : members) {
        out += separator;
        separator = ',';
        out += '"';
        out += name;
        out += "\":";
        const std::string text = streamscan::isoUtcText(*time);
        out += text.empty() ? "null" : "\"" + text + "\"";
    }
    out += '}';
}

}  // namespace

std::string jsonRow(const streamscan::StreamRecord& record, const RowExtras& extras,
                    const StreamMatches* rules) {
    const bool itemRow = record.streamName.empty();
    std::string out = "{\"type\":\"row\",\"schema\":" + std::to_string(kJsonSchema);
    appendKey(out, "severity");
    const char16_t* severity = streamscan::severityName(record.severity);
    if (severity[0] == u'\0') {
        out += "null";
    } else {
        appendJsonString(out, severity);
    }
    appendText(out, "note", record.note);
    out += ',';
    appendJsonName(out, "path", streamscan::hostPathOf(record));
    appendBool(out, "hostIsFolder", record.hostIsFolder);
    if (itemRow) {
        for (const char* key : {"stream", "streamType", "streamSize", "streamSizeIsLowerBound"})
            appendNull(out, key);
    } else {
        out += ',';
        appendJsonName(out, "stream", record.streamName);
        appendText(out, "streamType", record.streamType);
        appendNumber(out, "streamSize", record.streamSize);
        appendBool(out, "streamSizeIsLowerBound", record.streamSizeAtLeast);
    }
    appendNumber(out, "hostSize", record.hostSize);
    appendKey(out, "hostAttributes");
    out += '[';
    bool first = true;
    for (const AttributeName& attribute : kJsonAttributeNames) {
        if ((record.hostAttributes & attribute.bit) == 0)
            continue;
        if (!first)
            out += ',';
        first = false;
        out += '"';
        out += attribute.name;
        out += '"';
    }
    out += ']';
    appendNumber(out, "hostAttributeBits", record.hostAttributes);
    const std::string modified = isoUtcTime(record.hostModified);
    appendKey(out, "hostModified");
    out += modified.empty() ? "null" : "\"" + modified + "\"";
    appendZone(out, record);
    appendKey(out, "readable");
    out += itemRow ? "null" : (record.unreadable ? "false" : "true");
    appendBool(out, "sidecarFile", record.sidecarFile);
    appendBool(out, "deleted", record.deleted);
    appendTimes(out, "times", record.hostDetails.times);
    if (record.hostDetails.mftKnown) {
        appendTimes(out, "fileNameTimes", record.hostDetails.fileNameTimes);
        appendNumber(out, "mftEntry", record.hostDetails.mftEntry);
        appendNumber(out, "mftSequence", record.hostDetails.mftSequence);
        if (itemRow || record.sidecarFile)
            appendNull(out, "attributeId");
        else
            appendNumber(out, "attributeId", record.attributeId);
    } else {
        for (const char* key : {"fileNameTimes", "mftEntry", "mftSequence", "attributeId"})
            appendNull(out, key);
    }
    appendKey(out, "contentKind");
    const std::u16string_view kind = streamscan::contentKindKey(record.contentKind);
    if (kind.empty())
        out += "null";
    else
        appendJsonString(out, std::u16string(kind));
    appendKey(out, "entropy");
    if (record.entropy < 0) {
        out += "null";
    } else {
        char entropy[16];
        std::snprintf(entropy, sizeof entropy, "%.3f", record.entropy);
        out += entropy;
    }
    if (extras.hashed) {
        // One member per digest asked for; SHA-256 alone when none was named.
        std::vector<std::pair<streamscan::DigestKind, std::string>> digests = extras.digests;
        if (digests.empty())
            digests.emplace_back(streamscan::DigestKind::sha256, extras.sha256);
        for (const auto& [kind, hex] : digests) {
            appendKey(out, streamscan::digestName(kind));
            out += hex.empty() ? "null" : "\"" + hex + "\"";
        }
        if (!extras.hashError.empty())
            appendText(out, "hashError", extras.hashError);
    }
    if (rules != nullptr) {
        appendKey(out, "yara");
        out += '[';
        for (std::size_t i = 0; i < rules->matches.size(); ++i) {
            const RuleMatch& match = rules->matches[i];
            out += i == 0 ? "{" : ",{";
            appendJsonName(out, "rule", streamscan::decodeName(match.rule));
            out += ',';
            appendJsonName(out, "namespace", streamscan::decodeName(match.ruleNamespace));
            appendKey(out, "tags");
            out += '[';
            for (std::size_t t = 0; t < match.tags.size(); ++t) {
                if (t > 0)
                    out += ',';
                appendJsonString(out, streamscan::decodeName(match.tags[t]));
            }
            out += "]}";
        }
        out += ']';
        appendBool(out, "yaraPartial", rules->partial);
        if (!rules->error.empty())
            appendText(out, "yaraError", rules->error);
    }
    out += "}\n";
    return out;
}

std::string jsonPlace(const streamscan::NotExaminedPlace& place) {
    // The kind is the summary counter the place counts in, so that places can be
    // tallied against it; the depth limit is a failed listing there.
    const streamscan::NotExaminedCounter* counter = streamscan::counterOf(place.kind);
    const char* kind = counter != nullptr ? counter->jsonKey : "cancelled";
    std::string out = "{\"type\":\"notExamined\",\"schema\":" + std::to_string(kJsonSchema) + ",";
    appendJsonName(out, "path", place.path);
    appendKey(out, "kind");
    out += '"';
    out += kind;
    out += '"';
    appendNumber(out, "code", place.error);
    appendText(out, "reason", streamscan::notExaminedReason(place));
    out += "}\n";
    return out;
}

std::string jsonSummary(const JsonSummaryFacts& facts, streamscan::FileSystem& fs) {
    const ScanOutcome& outcome = *facts.outcome;
    const streamscan::ScanStats& stats = outcome.stats;
    std::string out = "{\"type\":\"summary\",\"schema\":" + std::to_string(kJsonSchema);
    appendBool(out, "complete", !stats.cancelled);
    appendBool(out, "everythingExamined", !somethingNotExamined(stats));
    appendBool(out, "flagged", outcome.flagged);
    appendKey(out, "roots");
    out += '[';
    for (std::size_t i = 0; i < facts.roots->size(); ++i) {
        out += i == 0 ? "{" : ",{";
        appendJsonName(out, "path", (*facts.roots)[i]);
        out += '}';
    }
    out += ']';
    appendKey(out, "readThrough");
    out += '[';
    for (std::size_t i = 0; i < facts.readThrough.size(); ++i) {
        out += i == 0 ? "{" : ",{";
        appendJsonName(out, "mountPoint", facts.readThrough[i].first);
        out += ',';
        appendJsonName(out, "source", facts.readThrough[i].second);
        out += '}';
    }
    out += ']';
    appendNumber(out, "duplicateRoots", facts.duplicates);
    appendNumber(out, "nestedRoots", facts.nested);
    appendNumber(out, "files", stats.files);
    appendNumber(out, "folders", stats.folders);
    appendNumber(out, "itemsWithStreams", stats.itemsWithStreams);
    appendNumber(out, "streams", stats.streams);
    appendNumber(out, "rows", outcome.rows);
    appendNumber(out, "rowsFilteredOut", outcome.filteredOut);
    for (const streamscan::NotExaminedCounter& counter : streamscan::notExaminedCounters())
        appendNumber(out, counter.jsonKey, stats.*counter.count);
    appendNumber(out, "fileSystemStreams", stats.fileSystemStreams);
    appendNumber(out, "orphans", outcome.orphans);
    appendNumber(out, "metadataAttributes", stats.metadataAttributes);
    appendNumber(out, "excluded", stats.excluded);
    appendNumber(out, "linkLoops", stats.linkLoops);
    appendKey(out, "volumesWithoutStreamSupport");
    out += '[';
    bool first = true;
    if (stats.volumesWithoutStreams != 0) {
        for (const std::u16string& root : *facts.roots) {
            const streamscan::VolumeInfo volume = streamscan::queryVolume(root, fs);
            if (!volume.known || volume.namedStreams || volume.notRecognised)
                continue;
            out += first ? "{" : ",{";
            first = false;
            appendJsonName(out, "path", root);
            appendText(out, "fileSystem", volume.fileSystemName);
            out += '}';
        }
    }
    out += "]}\n";
    return out;
}

}  // namespace tessalin::cli

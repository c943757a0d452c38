#include "frontend/extraction.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "engine/path_forms.h"
#include "engine/removal.h"
#include "engine/digest.h"
#include "engine/unicode.h"
#include "engine/value_text.h"
#include "engine/win_codes.h"
#include "frontend/json_text.h"

namespace tessalin {
namespace {

constexpr std::u16string_view kPartialManifestName = u"manifest.json.partial";
constexpr std::uint32_t kChunk = 1048576;

// Names made from a counter only: nothing from the scanned tree reaches a name.
std::u16string copyName(std::uint64_t number) {
    std::u16string digits = streamscan::widenAscii(std::to_string(number));
    if (digits.size() < 6)
        digits.insert(0, 6 - digits.size(), u'0');
    return u"stream-" + digits + u".bin";
}

// The time now, ISO 8601 UTC to the millisecond.
std::string nowText() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    const auto rest = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
    return streamscan::isoUtcText(
        streamscan::Timestamp{seconds.count(), static_cast<std::uint32_t>(rest.count()), 3});
}

void appendImage(std::string& out, const streamscan::ImageLayout& image) {
    out += '{';
    appendJsonName(out, "path", image.path);
    out += ",\"container\":";
    appendJsonString(out, image.container);
    out += ",\"size\":" + std::to_string(image.size);
    out += ",\"sectorSize\":" + std::to_string(image.sectorSize);
    out += ",\"partitionTable\":";
    if (image.table.empty()) {
        out += "null";
    } else {
        appendJsonString(out, image.table);
    }
    out += ",\"partitions\":[";
    for (const streamscan::PartitionLayout& part : image.partitions) {
        if (out.back() != '[')
            out += ',';
        out += "{\"index\":" + std::to_string(part.index) +
               ",\"start\":" + std::to_string(part.start) +
               ",\"length\":" + std::to_string(part.length) + ",\"type\":";
        appendJsonString(out, part.type);
        if (!part.name.empty()) {
            out += ",\"name\":";
            appendJsonString(out, part.name);
        }
        out += '}';
    }
    out += "],\"files\":[";
    for (const streamscan::ImageFileFacts& file : image.files) {
        if (out.back() != '[')
            out += ',';
        out += '{';
        appendJsonName(out, "path", file.path);
        out += ",\"size\":" + std::to_string(file.size);
        // Only where --hash-images asked for it: taken, or said why not.
        if (!file.sha256.empty()) {
            out += ",\"sha256\":\"" + file.sha256 + "\"";
        } else if (!file.hashError.empty()) {
            out += ",\"sha256\":null,\"hashError\":";
            appendJsonString(out, file.hashError);
        }
        out += '}';
    }
    out += "]}";
}

// The members a run's provenance adds to the manifest's head, each followed by a comma.
std::string provenanceMembers(const Provenance& provenance) {
    std::string out = "\"program\":";
    appendJsonString(out, provenance.program);
    out += ",\"version\":";
    appendJsonString(out, provenance.version);
    out += ",\"commandLine\":[";
    for (const std::u16string& argument : provenance.commandLine) {
        if (out.back() != '[')
            out += ',';
        appendJsonString(out, argument);
    }
    out += "],\"host\":";
    appendJsonString(out, provenance.host);
    out += ",\"started\":\"" + nowText() + "\",\"images\":[";
    for (const streamscan::ImageLayout& image : provenance.images) {
        if (out.back() != '[')
            out += ",\n";
        appendImage(out, image);
    }
    return out + "],\n";
}

}  // namespace

StreamContent::StreamContent(OutputFolder* folder, std::vector<streamscan::DigestKind> digests)
    : folder(folder), digests(std::move(digests)) {}

std::u16string StreamContent::start(const Provenance* provenance) {
    if (folder == nullptr)
        return {};
    std::u16string error = folder->create(kPartialManifestName, manifest);
    if (!error.empty())
        return error;
    std::string head = "{\"schema\":1,";
    timed = provenance != nullptr;
    if (timed)
        head += provenanceMembers(*provenance);
    head += "\"streams\":[\n";
    return manifest->write(reinterpret_cast<const std::uint8_t*>(head.data()), head.size());
}

RowExtras StreamContent::take(const streamscan::StreamRecord& record, streamscan::FileSystem& fs) {
    RowExtras extras;
    extras.hashed = true;
    for (const streamscan::DigestKind kind : digests)
        extras.digests.emplace_back(kind, std::string());
    const std::u16string hostPath = streamscan::hostPathOf(record, fs.pathStyle());
    std::u16string fileName;
    std::unique_ptr<OutputFile> copy;
    std::uint64_t size = 0;
    bool writeFailed = false;

    std::unique_ptr<streamscan::StreamReader> reader;
    const std::uint32_t openError = fs.openListedStream(record, reader);
    if (openError != streamscan::kErrorSuccess || !reader) {
        extras.hashError = streamscan::WindowsErrorText(openError);
    } else if (folder != nullptr && manifestError.empty()) {
        // Once the manifest has failed, a copy could never be named in it.
        fileName = copyName(copiedCount + notReadCount + notWrittenCount + 1);
        extras.hashError = folder->create(fileName, copy);
        writeFailed = !extras.hashError.empty();
        if (writeFailed)
            extras.hashError = u"the copy could not be made: " + extras.hashError;
    }
    if (extras.hashError.empty()) {
        streamscan::Digest hash(streamscan::DigestKind::sha256);
        std::vector<std::unique_ptr<streamscan::Digest>> others;
        for (const streamscan::DigestKind kind : digests) {
            if (kind != streamscan::DigestKind::sha256)
                others.push_back(std::make_unique<streamscan::Digest>(kind));
        }
        std::vector<std::uint8_t> buffer(kChunk);
        for (;;) {
            std::uint32_t got = 0;
            const std::uint32_t error = reader->read(buffer.data(), kChunk, got);
            if (error != streamscan::kErrorSuccess) {
                extras.hashError = streamscan::WindowsErrorText(error);
                break;
            }
            if (got == 0)
                break;
            got = std::min(got, kChunk);
            hash.update(buffer.data(), got);
            for (const auto& other : others)
                other->update(buffer.data(), got);
            size += got;
            if (copy) {
                const std::u16string writeError = copy->write(buffer.data(), got);
                if (!writeError.empty()) {
                    extras.hashError = u"the copy could not be written: " + writeError;
                    writeFailed = true;
                    break;
                }
            }
        }
        if (copy && extras.hashError.empty()) {
            const std::u16string closeError = copy->close();
            if (!closeError.empty()) {
                extras.hashError = u"the copy could not be written: " + closeError;
                writeFailed = true;
            }
        }
        if (extras.hashError.empty()) {
            extras.sha256 = hash.finishHex();
            if (extras.sha256.empty())
                extras.hashError = u"the platform's SHA-256 could not be used";
            std::size_t next = 0;
            for (auto& [kind, hex] : extras.digests) {
                hex = kind == streamscan::DigestKind::sha256 ? extras.sha256
                                                             : others[next++]->finishHex();
            }
        }
    }
    if (copy && !extras.hashError.empty()) {
        // A copy that is not the whole stream is no copy.
        copy.reset();
        folder->remove(fileName);
        fileName.clear();
    }
    if (!fileName.empty())
        copies.push_back(fileName);
    if (extras.hashError.empty())
        ++copiedCount;
    else
        ++(writeFailed ? notWrittenCount : notReadCount);
    if (folder != nullptr)
        manifestEntry(record, fileName, extras, size);
    return extras;
}

void StreamContent::manifestEntry(const streamscan::StreamRecord& record,
                                  const std::u16string& fileName, const RowExtras& extras,
                                  std::uint64_t size) {
    if (!manifest || !manifestError.empty())
        return;
    std::string line = copiedCount + notReadCount + notWrittenCount == 1 ? "{" : ",\n{";
    line += "\"file\":";
    if (fileName.empty()) {
        line += "null";
    } else {
        appendJsonString(line, fileName);
    }
    line += ',';
    appendJsonName(line, "path", streamscan::hostPathOf(record));
    line += ',';
    appendJsonName(line, "stream", record.streamName);
    line += ",\"streamType\":";
    appendJsonString(line, record.streamType);
    line += ",\"size\":" + std::to_string(extras.hashError.empty() ? size : record.streamSize);
    line += ",\"sha256\":";
    line += extras.sha256.empty() ? "null" : "\"" + extras.sha256 + "\"";
    for (const auto& [kind, hex] : extras.digests) {
        if (kind == streamscan::DigestKind::sha256)
            continue;
        line += ",\"" + std::string(streamscan::digestName(kind)) + "\":";
        line += hex.empty() ? "null" : "\"" + hex + "\"";
    }
    if (!extras.hashError.empty()) {
        line += ",\"error\":";
        appendJsonString(line, extras.hashError);
    }
    line += '}';
    manifestError =
        manifest->write(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
}

std::u16string StreamContent::finish(bool scanCancelled) {
    if (folder == nullptr)
        return {};
    if (!manifest)
        return u"the manifest could not be started";
    std::string end = "\n],\"complete\":";
    end += scanCancelled ? "false" : "true";
    end += ",\"copied\":" + std::to_string(copiedCount);
    end += ",\"failed\":" + std::to_string(notReadCount + notWrittenCount);
    if (timed)
        end += ",\"ended\":\"" + nowText() + "\"";
    end += "}\n";
    if (manifestError.empty())
        manifestError =
            manifest->write(reinterpret_cast<const std::uint8_t*>(end.data()), end.size());
    if (manifestError.empty())
        manifestError = manifest->close();
    manifest.reset();
    if (manifestError.empty())
        manifestError = folder->rename(kPartialManifestName, kManifestName);
    if (!manifestError.empty()) {
        folder->remove(kPartialManifestName);
        for (const std::u16string& name : copies)
            folder->remove(name);
    }
    return manifestError;
}

}  // namespace tessalin

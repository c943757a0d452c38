#include "cli/posix/image_scan.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/summary.h"
#include "engine/digest.h"
#include "engine/display_escape.h"
#include "engine/image/image_file_system.h"
#include "engine/unicode.h"

// The image library's own search for the other segments of a split raw image
// (disk.001, disk.002, ...), which it makes when it opens one.
extern "C" char** tsk_img_findFiles(const char* startingName, int* numFound);

namespace tessalin::cli {
namespace {

// The files an image is read from: the image, the segments the library finds
// beside it, and the numbered segments of an evidence set (.E01, .E02, ...).
std::vector<std::u16string> imageFiles(const std::u16string& path, streamscan::FileSystem& host) {
    std::vector<std::u16string> files;
    int count = 0;
    if (char** found = tsk_img_findFiles(streamscan::encodeName(path).c_str(), &count)) {
        for (int i = 0; i < count; ++i) {
            files.push_back(streamscan::decodeName(found[i]));
            std::free(found[i]);
        }
        std::free(found);
    }
    if (files.empty())
        files.push_back(path);
    const std::size_t dot = path.rfind(u'.');
    if (dot != std::u16string::npos && path.size() - dot >= 4 &&
        path.compare(path.size() - 2, 2, u"01") == 0 &&
        std::u16string_view(u"EeLlSs").find(path[dot + 1]) != std::u16string_view::npos) {
        streamscan::OutputTarget target;
        for (int number = 2; number <= 99; ++number) {
            std::u16string segment = path;
            segment[segment.size() - 2] = static_cast<char16_t>(u'0' + number / 10);
            segment[segment.size() - 1] = static_cast<char16_t>(u'0' + number % 10);
            if (host.outputTarget(segment, target) != streamscan::kErrorSuccess ||
                target.kind == streamscan::OutputKind::absent) {
                break;
            }
            files.push_back(segment);
        }
    }
    return files;
}

// Why the image at `path` is not opened at all, or empty; the identities of
// its files go to `read`. Only a regular file or a block device is opened:
// opening a fifo would wait for a writer for ever.
std::u16string unreadableImage(const std::u16string& path, streamscan::FileSystem& host,
                               std::vector<streamscan::ItemIdentity>& read) {
    for (const std::u16string& file : imageFiles(path, host)) {
        streamscan::OutputTarget target;
        if (host.outputTarget(file, target) != streamscan::kErrorSuccess)
            continue;  // the image port says what is wrong with it
        switch (target.kind) {
            case streamscan::OutputKind::file:
            case streamscan::OutputKind::blockDevice:
                read.push_back(target.identity);
                break;
            case streamscan::OutputKind::inPlace:
            case streamscan::OutputKind::unusable:
            case streamscan::OutputKind::deadLink: {
                std::u16string reason =
                    u"only a regular file or a block device can be read as a disk image";
                if (file != path)
                    reason = u"its segment " + file + u" is not a file: " + reason;
                return reason;
            }
            case streamscan::OutputKind::absent:
            case streamscan::OutputKind::folder:
                break;
        }
    }
    return {};
}

// Keeps of `opening` only the root of the partition `inside` names (pN), and
// starts it at the folder that follows.
void startAtFolder(const std::u16string& inside, streamscan::ImageOpening& opening) {
    const std::size_t slash = inside.find(u'/');
    const std::u16string partition = inside.substr(0, slash);
    std::u16string folder = slash == std::u16string::npos ? std::u16string() : inside.substr(slash);
    while (!folder.empty() && folder.back() == u'/')
        folder.pop_back();
    std::vector<std::u16string> kept;
    for (const std::u16string& root : opening.roots) {
        const std::size_t mark = root.rfind(u"//");
        if (mark != std::u16string::npos && root.substr(mark + 2) == partition)
            kept.push_back(root + folder);
    }
    opening.roots = std::move(kept);
}

// The SHA-256 of each file an image is read from, read whole in large
// chunks; on a terminal a line on stderr says how far it is, at most ten times
// a second. Ctrl+C leaves the rest untaken, said in the manifest.
void hashImageFiles(std::vector<streamscan::ImageLayout>& layouts, Console& console,
                    const std::atomic<bool>& cancel) {
    using Clock = std::chrono::steady_clock;
    constexpr std::size_t kChunk = 4 * 1048576;
    std::vector<std::uint8_t> buffer(kChunk);
    const bool showProgress = console.errIsTerminal();
    for (streamscan::ImageLayout& layout : layouts) {
        for (streamscan::ImageFileFacts& file : layout.files) {
            if (cancel.load()) {
                file.hashError = u"not taken: the run was cancelled";
                continue;
            }
            const int fd = open(streamscan::encodeName(file.path).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                file.hashError = streamscan::decodeName(std::strerror(errno));
                continue;
            }
            const std::string name = streamscan::utf8ForDisplay(
                streamscan::escapeForDisplay(file.path.substr(file.path.rfind(u'/') + 1)));
            streamscan::Digest digest(streamscan::DigestKind::sha256);
            std::uint64_t done = 0;
            Clock::time_point lastDraw = Clock::now();
            for (;;) {
                if (cancel.load()) {
                    file.hashError = u"not taken: the run was cancelled";
                    break;
                }
                const ssize_t got = read(fd, buffer.data(), kChunk);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0) {
                    file.hashError = streamscan::decodeName(std::strerror(errno));
                    break;
                }
                if (got == 0)
                    break;
                digest.update(buffer.data(), static_cast<std::size_t>(got));
                done += static_cast<std::uint64_t>(got);
                if (showProgress && Clock::now() - lastDraw >= std::chrono::milliseconds(100)) {
                    lastDraw = Clock::now();
                    const std::uint64_t percent = file.size == 0 ? 0 : done * 100 / file.size;
                    console.err("\rHashing " + name + ": " + std::to_string(percent) + "%   ");
                    setProgressLineShown(true);
                }
            }
            close(fd);
            if (showProgress) {
                console.err("\r" + std::string(name.size() + 20, ' ') + "\r");
                setProgressLineShown(false);
            }
            if (file.hashError.empty()) {
                file.sha256 = digest.finishHex();
                if (file.sha256.empty())
                    file.hashError = u"the platform's SHA-256 could not be used";
            }
        }
    }
}

}  // namespace

int runImageScan(CliOptions options, RunSettings settings, Console& console,
                 streamscan::FileSystem& host, const std::atomic<bool>& cancel) {
    streamscan::ImageFileSystem images(host, options.deleted);
    const std::uint32_t partition = options.partition.value_or(streamscan::kEveryPartition);
    std::vector<std::u16string> roots;
    std::vector<streamscan::NotExaminedPlace> failed;
    for (const std::u16string& given : options.paths) {
        // IMAGE//pN/FOLDER, the form rows are written in, starts at that folder.
        const std::size_t doubled = given.find(u"//");
        const std::u16string path = given.substr(0, doubled);
        const std::u16string inside =
            doubled == std::u16string::npos ? std::u16string() : given.substr(doubled + 2);
        streamscan::ImageOpening opening;
        opening.error = unreadableImage(host.fullPath(path), host, settings.imagesRead);
        if (opening.error.empty())
            opening = images.openImage(path, partition);
        if (!inside.empty() && opening.error.empty()) {
            startAtFolder(inside, opening);
            if (opening.roots.empty())
                opening.error = u"it has no partition " + inside.substr(0, inside.find(u'/'));
        }
        if (!opening.error.empty()) {
            failed.push_back(streamscan::NotExaminedPlace{
                path, streamscan::PlaceKind::listFailed, streamscan::kErrorSuccess, opening.error});
        }
        // Said once, and not counted: nothing was there to examine.
        for (const std::u16string& note : opening.notes) {
            console.err(streamscan::utf8ForDisplay(std::u16string(kProgramName) + u": " +
                                                   streamscan::escapeForDisplay(note) + u"\n"));
        }
        roots.insert(roots.end(), opening.roots.begin(), opening.roots.end());
    }
    // With nothing to scan there is no summary to count them in: each is said.
    if (roots.empty()) {
        for (const streamscan::NotExaminedPlace& place : failed)
            console.err(streamscan::utf8ForDisplay(notExaminedPlaceLine(place)));
        return kExitNotExamined;
    }
    settings.placesBefore = std::move(failed);

    options.paths = std::move(roots);
    settings.outputPort = &host;
    settings.orphansFound = [&images] { return images.orphans(); };
    settings.imagesForManifest = [&images, &options, &console, &cancel] {
        std::vector<streamscan::ImageLayout> layouts = images.layouts();
        if (options.hashImages)
            hashImageFiles(layouts, console, cancel);
        return layouts;
    };
    return runScanner(options, settings, console, images, cancel);
}

}  // namespace tessalin::cli

#include "engine/tree_walk.h"

#include <algorithm>
#include <memory>
#include <new>

#include "engine/name_pattern.h"
#include "engine/origin_marks.h"
#include "engine/output_target.h"
#include "engine/path_forms.h"
#include "engine/platform_text.h"
#include "engine/stream_listing.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

// The continue check: false once the scan is to stop, and then for good. The
// place where the stop took effect is named once.
bool keepGoing(ScanContext& context, const std::u16string& place) {
    if (context.stats.cancelled) {
        return false;
    }
    if (context.continueCheck && !context.continueCheck()) {
        countNotExamined(context, PlaceKind::cancelled, place);
        return false;
    }
    return true;
}

bool isLink(std::uint32_t attributes) {
    return (attributes & kAttributeReparsePoint) != 0;
}

// Whether the user excluded an entry: by its name, or by its path below the
// root when the pattern holds a separator.
bool isExcluded(const ScanContext& context, const std::u16string& child,
                const std::u16string& name) {
    const PathStyle style = context.fs.pathStyle();
    const std::u16string_view separators = style == PathStyle::posix ? u"/" : u"\\/";
    for (const std::u16string& pattern : context.options.excludePatterns) {
        if (pattern.find_first_of(separators) == std::u16string::npos) {
            if (wildcardMatches(pattern, name))
                return true;
            continue;
        }
        std::u16string_view below(child);
        below.remove_prefix(std::min(context.root.size(), below.size()));
        while (!below.empty() && separators.find(below.front()) != std::u16string_view::npos)
            below.remove_prefix(1);
        if (wildcardMatches(pattern, below))
            return true;
    }
    return false;
}

bool isAmongIdentities(const ItemIdentity& identity, const std::vector<ItemIdentity>& items,
                       std::size_t count) {
    count = std::min(count, items.size());
    return identity.known &&
           std::find(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(count), identity) !=
               items.begin() + static_cast<std::ptrdiff_t>(count);
}

enum class LinkWay : std::uint8_t { enter, loop, outOfRoots };

// Where a folder link leads, by identity: back to a folder on the way down (a
// loop), out of every root, or somewhere the walk may enter. The system resolves
// "link/.." from the link's target, so climbing from it finds the target's
// ancestors; only POSIX paths resolve so.
LinkWay linkWay(ScanContext& context, const std::u16string& link, std::size_t depth,
                ItemIdentity& target) {
    target = resolvedIdentity(link, context.fs);
    if (isAmongIdentities(target, context.walkChain, depth + 1))
        return LinkWay::loop;
    if (context.options.followLinksOutOfRoots)
        return LinkWay::enter;
    if (context.fs.pathStyle() != PathStyle::posix)
        return LinkWay::outOfRoots;
    std::u16string climb = link;
    ItemIdentity previous = target;
    for (ItemIdentity at = target; at.known; previous = at) {
        if (isAmongIdentities(at, context.rootIdentities, context.rootIdentities.size()))
            return LinkWay::enter;
        climb += u"/..";
        at = resolvedIdentity(climb, context.fs);
        if (at == previous)
            break;  // "/" is its own parent
    }
    return LinkWay::outOfRoots;
}

}  // namespace

VolumeInfo queryVolume(const std::u16string& path, FileSystem& fs) {
    if (path.empty()) {
        return {};
    }
    return fs.queryVolume(path);
}

ScanStats scanRoots(const std::vector<std::u16string>& roots, const ScanOptions& options,
                    const RecordSink& sink, const ContinueCheck& continueCheck,
                    const ProgressSink& progress, FileSystem& fs, const PlaceSink& places) {
    ScanContext context{fs,          options, RecordSink(), ContinueCheck(), ProgressSink(),
                        ScanStats(), places};
    struct EndOfScan {
        FileSystem& fs;
        ~EndOfScan() { fs.scanEnded(); }
    } endOfScan{fs};
    refreshTimeZone();  // the rows' times are written as they come
    const std::u16string* root = nullptr;
    std::uint32_t error = kErrorSuccess;
    try {
        context.sink = sink ? sink : RecordSink([](const StreamRecord&) {});
        context.continueCheck = continueCheck;
        context.progress = progress;
        if (options.followLinks) {
            for (const std::u16string& each : roots)
                context.rootIdentities.push_back(resolvedIdentity(fullPathOf(each, fs), fs));
        }
        for (const std::u16string& each : roots) {
            if (context.stats.cancelled) {
                break;
            }
            root = &each;
            scanRoot(each, context);
        }
        return context.stats;
    } catch (const std::bad_alloc&) {
        error = kErrorNotEnoughMemory;
    } catch (...) {
    }
    // Whatever it was (in practice running out of memory), the remaining roots are
    // skipped and what was counted so far is returned, with the root it stopped in.
    ++context.stats.listFailed;
    try {
        if (context.places) {
            context.places(NotExaminedPlace{
                root != nullptr ? *root : std::u16string(), PlaceKind::listFailed, error, {}});
        }
    } catch (...) {
        // Naming the place needs memory too; the count stands without it.
    }
    return context.stats;
}

void scanRoot(const std::u16string& root, ScanContext& context) {
    ScanStats& stats = context.stats;
    if (root.empty()) {
        countNotExamined(context, PlaceKind::listFailed, root, kErrorPathNotFound);
        return;
    }
    const PathStyle style = context.fs.pathStyle();
    const std::u16string path = trimTrailingSeparator(fullPathOf(root, context.fs), style);

    const VolumeInfo volume = queryVolume(path, context.fs);
    if (volume.known && volume.notRecognised) {
        countNotExamined(context, PlaceKind::volumeNotRecognised, path, kErrorSuccess,
                         volume.fileSystemName);
        return;
    }
    if (volume.known && !volume.namedStreams) {
        countNotExamined(context, PlaceKind::volumeWithoutStreams, path);
        return;
    }
    if (volume.known && volume.streamsHidden) {
        // Walking it would list its files and none of their streams.
        countNotExamined(context, PlaceKind::volumeHidingStreams, path);
        return;
    }
    if (!volume.missingPart.empty()) {
        // What the container lacks is not examined; the rest of the volume is.
        countNotExamined(context, PlaceKind::listFailed, path, kErrorSuccess, volume.missingPart);
    }

    ItemFacts facts;
    const std::uint32_t error = context.fs.itemFacts(path, facts);
    if (error != kErrorSuccess) {
        countFailure(context, path, error);
        return;
    }
    if (!keepGoing(context, path)) {
        return;
    }
    context.root = path;
    context.rootIdentity = facts.identity;
    context.walkChain.clear();
    if (context.options.followLinks)
        context.walkChain.push_back(resolvedIdentity(path, context.fs));

    HostFacts known(facts);
    if ((facts.attributes & kAttributeDirectory) != 0) {
        ++stats.folders;
        // A root chosen by name is always entered, but a link's own streams are
        // not listed, and that is counted.
        if (isLink(facts.attributes)) {
            countNotExamined(context, PlaceKind::linkNotFollowed, path);
        } else if (context.options.includeFolders) {
            listItemStreams(context, path, true, known);
        }
        walkFolder(path, context, 0);
    } else {
        ++stats.files;
        listItemStreams(context, path, false, known);
    }
}

void walkFolder(const std::u16string& folder, ScanContext& context, int depth) {
    ScanStats& stats = context.stats;
    if (!keepGoing(context, folder)) {
        return;
    }
    if (context.progress) {
        context.progress(folder, stats);
    }
    if (depth >= kMaxDepth) {
        countNotExamined(context, PlaceKind::depthLimit, folder);
        return;
    }

    const PathStyle style = context.fs.pathStyle();
    DirectoryEntry entry;
    std::unique_ptr<DirectoryListing> listing;
    const std::uint32_t startError = context.fs.startListing(folder, entry, listing);
    if (startError == kErrorFileNotFound || startError == kErrorNoMoreFiles) {
        return;  // an empty folder
    }
    if (startError != kErrorSuccess || !listing) {
        countFailure(context, folder, startError);
        return;
    }

    // Only the subfolder paths outlive the listing, so one listing is open at a time.
    struct Subfolder {
        std::u16string path;
        ItemIdentity identity;  // known only when links are followed
    };
    std::vector<Subfolder> subfolders;
    const bool following = context.options.followLinks;
    std::uint32_t endError = kErrorSuccess;
    std::u16string child;  // reused: most entries need no path of their own
    for (;;) {
        if (!keepGoing(context, folder)) {
            break;
        }
        if (entry.name != u"." && entry.name != u"..") {
            joinPathInto(child, folder, entry.name, style);
            // The entry's facts are asked of the listing only if it shows a record.
            HostFacts facts(*listing);
            if (!context.options.excludePatterns.empty() &&
                isExcluded(context, child, entry.name)) {
                ++stats.excluded;  // as asked: not walked, and not "not examined"
            } else if (entry.volumeHidingStreams) {
                countNotExamined(context, PlaceKind::volumeHidingStreams, child);
            } else if (entry.volumeWithoutStreams) {
                // As for a root on such a volume: counted, nothing on it examined.
                countNotExamined(context, PlaceKind::volumeWithoutStreams, child);
            } else if (entry.kind == EntryKind::file) {
                ++stats.files;
                listItemStreams(context, child, false, facts);
                // No Windows name holds a colon, so only a POSIX folder has sidecars.
                if (style == PathStyle::posix && !sidecarHostName(entry.name).empty()) {
                    const ItemFacts* sidecar = nullptr;
                    if (facts.get(sidecar) == kErrorSuccess)
                        listSidecarZone(context, folder, entry.name, sidecar->size);
                }
            } else {
                ++stats.folders;
                ItemIdentity identity;
                LinkWay way = LinkWay::enter;
                if (entry.kind == EntryKind::folderLink) {
                    way = following
                              ? linkWay(context, child, static_cast<std::size_t>(depth), identity)
                              : LinkWay::outOfRoots;
                } else if (following) {
                    const ItemFacts* own = nullptr;
                    if (facts.get(own) == kErrorSuccess)
                        identity = own->identity;
                }
                if (way == LinkWay::loop) {
                    ++stats.linkLoops;
                } else if (way == LinkWay::outOfRoots) {
                    countNotExamined(context, PlaceKind::linkNotFollowed, child);
                } else {
                    if (context.options.includeFolders) {
                        listItemStreams(context, child, true, facts);
                    }
                    if (context.options.includeSubfolders) {
                        subfolders.push_back({child, identity});
                    }
                }
            }
        }
        entry = DirectoryEntry();
        endError = listing->next(entry);
        if (endError != kErrorSuccess) {
            break;
        }
    }
    listing.reset();
    if (!stats.cancelled && endError != kErrorSuccess && endError != kErrorNoMoreFiles) {
        countFailure(context, folder, endError);
    }

    for (const Subfolder& subfolder : subfolders) {
        if (!keepGoing(context, subfolder.path)) {
            return;
        }
        if (following) {
            context.walkChain.resize(static_cast<std::size_t>(depth) + 1);
            context.walkChain.push_back(subfolder.identity);
        }
        walkFolder(subfolder.path, context, depth + 1);
    }
}

}  // namespace streamscan

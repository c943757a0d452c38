#include "engine/output_target.h"

#include <algorithm>

#include "engine/win_codes.h"

namespace streamscan {

std::uint32_t FileSystem::outputTarget(const std::u16string& path, OutputTarget& target) {
    target = {};
    ItemFacts facts;
    const std::uint32_t error = itemFacts(path, facts);
    if (error == kErrorFileNotFound || error == kErrorPathNotFound)
        return kErrorSuccess;
    if (error != kErrorSuccess)
        return error;
    target.kind =
        (facts.attributes & kAttributeDirectory) != 0 ? OutputKind::folder : OutputKind::file;
    target.identity = facts.identity;
    return kErrorSuccess;
}

bool isAmong(const ItemIdentity& identity, const std::vector<ItemIdentity>& items) {
    return identity.known && std::find(items.begin(), items.end(), identity) != items.end();
}

ItemIdentity resolvedIdentity(const std::u16string& path, FileSystem& fs) {
    OutputTarget target;
    if (fs.outputTarget(path, target) != kErrorSuccess)
        return {};
    return target.identity;
}

std::u16string outputRefusal(const std::u16string& path, const KeptItems& kept, FileSystem& fs) {
    OutputTarget target;
    // A target the port cannot look at is the writer's to report.
    if (fs.outputTarget(path, target) != kErrorSuccess)
        return {};
    if (isAmong(target.identity, kept.roots))
        return u"it is a scanned root, and output never replaces what it reads";
    if (isAmong(target.identity, kept.images))
        return u"it is a disk image being read, and output never replaces what it reads";
    if (isAmong(target.identity, kept.listed))
        return u"the scan listed streams of it, and output never replaces what it reads";
    if (target.kind == OutputKind::file && isAmong(target.identity, kept.consoleFiles))
        return u"the program's own output goes to it, and a report there would replace it";
    if (target.kind == OutputKind::deadLink)
        return u"it is a link that leads nowhere";
    if (target.kind == OutputKind::unusable || target.kind == OutputKind::blockDevice)
        return u"it is neither a file, a character device nor a fifo";
    return {};
}

std::vector<ItemIdentity> listedHosts(const std::vector<StreamRecord>& records) {
    std::vector<ItemIdentity> hosts;
    for (const StreamRecord& record : records) {
        if (!record.streamName.empty() && record.hostIdentity.known)
            hosts.push_back(record.hostIdentity);
    }
    std::sort(hosts.begin(), hosts.end(), [](const ItemIdentity& a, const ItemIdentity& b) {
        return a.volume != b.volume ? a.volume < b.volume : a.file < b.file;
    });
    hosts.erase(std::unique(hosts.begin(), hosts.end()), hosts.end());
    return hosts;
}

}  // namespace streamscan

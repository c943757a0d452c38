// Which user. attributes hold metadata desktop programs and file servers keep,
// not streams, and what a scan does with them: counted and not listed on a
// volume that is not NTFS unless every attribute is asked for; on NTFS each of
// them is a real stream.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/posix/posix_file_system.h"
#include "engine/posix/stream_attributes.h"
#include "support/real_volumes.h"
#include "support/scan_stats_printer.h"

namespace streamscan {
namespace {

using namespace realfs;

TEST(MetadataAttributes, DesktopAndServerRecordsAreMetadataDownloadMarksAreNot) {
    // The scan below shows user.xdg.tags, user.baloo.* and user.xdg.origin.url.
    const std::pair<const char*, bool> cases[] = {
        {"user.com.dropbox.attrs", true},
        {"user.checksum.sha256", true},
        {"user.DOSATTRIB", true},
        {"user.SAMBA_STREAMS", true},
        {"user.xdg.referrer.url", false},
        {"user.mime_type", false},
        {"user.xdg.tags.old", false},
        {"user.baloo", false},
        {"user.DosStream.xdg.tags:$DATA", false},
    };
    for (const auto& [attribute, metadata] : cases)
        EXPECT_EQ(isMetadataAttribute(attribute), metadata) << attribute;
}

TEST(MetadataAttributes, AreCountedOffNtfsListedWhenAskedAndStreamsOnNtfs) {
    TempFolder folder("metadata");
    if (const std::string why = noUserAttributes(folder.path()); !why.empty())
        GTEST_SKIP() << why;
    const std::vector<std::string> attributes = {"user.xdg.tags",       "red",
                                                 "user.baloo.rating",   "5",
                                                 "user.xdg.origin.url", "https://host.test/f",
                                                 "user.payload",        "MZ"};
    const std::set<std::u16string> all = {u"xdg.tags", u"baloo.rating", u"xdg.origin.url",
                                          u"payload"};
    const std::set<std::u16string> streams = {u"xdg.origin.url", u"payload"};
    PosixFileSystem fs;
    const auto expect = [&](const std::string& root, bool allAttributes,
                            const std::set<std::u16string>& rows, std::uint64_t leftOut) {
        ASSERT_TRUE(makeFile(root + "/f", attributes));
        const ScanResult result = scanTree(fs, {root}, {.allAttributes = allAttributes});
        std::set<std::u16string> listed;
        for (const StreamRecord& record : result.records)
            listed.insert(record.streamName);
        EXPECT_EQ(listed, rows) << root << " " << allAttributes;
        EXPECT_EQ(result.stats.metadataAttributes, leftOut) << root << " " << allAttributes;
    };
    expect(folder.path(), false, streams, 2);
    expect(folder.path(), true, all, 0);

    if (const std::string why = volumeUnavailableReason(VolumeKind::ntfs); !why.empty())
        GTEST_SKIP() << why;
    MountedVolume ntfs;
    std::string error;
    ASSERT_TRUE(ntfs.mount(VolumeKind::ntfs, folder.at("ntfs.img"), folder.at("ntfs"), "", error))
        << error;
    expect(ntfs.mountPoint(), false, all, 0);
}

}  // namespace
}  // namespace streamscan

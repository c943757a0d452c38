// The delete command's planning and texts against a real NTFS volume through
// ntfs-3g: a real scan, the selection turned into targets, the removal, and
// what the list keeps. Checked after a fresh mount, so what is verified is what
// NTFS kept, not what the FUSE daemon had in memory.
#include <sys/xattr.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/posix/posix_file_system.h"
#include "engine/removal.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "support/real_volumes.h"
#include "frontend/delete_plan.h"

namespace tessalin {
namespace {

using namespace streamscan;
using realfs::MountedVolume;
using realfs::TempFolder;
using realfs::VolumeKind;

constexpr char16_t kClosingParagraphs[] =
    u"\n\nRemoving Zone.Identifier is the same thing as the Unblock button on a file's "
    u"Properties page: the file itself is untouched, and Windows stops treating it as "
    u"something that came from elsewhere."
    u"\n\nRemoving any other stream throws its contents away. Streams do not go to the "
    u"Recycle Bin, and nothing here can put one back."
    u"\n\nRemove them?";

const std::string kZoneText = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://host.test/\r\n";
const std::string kPayload("MZ\x90\0\x03\0\0\0\xff\xfe\r\n", 12);

std::string hostContent() {
    std::string content(200000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 131 + 7) % 251);
    return content;
}

// A fresh NTFS volume with:
//   setup.exe     Zone.Identifier, payload, notes; 200000 bytes of content
//   dir/          "folder stream"
//   dir/photo.jpg payload
//   plain.txt     no stream
class NtfsDeleteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string reason = realfs::volumeUnavailableReason(VolumeKind::ntfs);
        if (!reason.empty())
            GTEST_SKIP() << reason;
        ASSERT_TRUE(folder.valid());
        image = folder.at("volume.img");
        std::string error;
        ASSERT_TRUE(realfs::makeVolumeImage(VolumeKind::ntfs, image, 16, error)) << error;
        ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, folder.at("ntfs"), "", error)) << error;
        const std::string setup = volume.at("setup.exe");
        ASSERT_TRUE(realfs::writeFile(setup, hostContent()));
        ASSERT_TRUE(realfs::setAttribute(setup, "user.Zone.Identifier", kZoneText));
        ASSERT_TRUE(realfs::setAttribute(setup, "user.payload", kPayload));
        ASSERT_TRUE(realfs::setAttribute(setup, "user.notes", "keep me"));
        ASSERT_TRUE(realfs::makeFolder(volume.at("dir")));
        ASSERT_TRUE(realfs::setAttribute(volume.at("dir"), "user.folder stream", "on a folder"));
        ASSERT_TRUE(realfs::writeFile(volume.at("dir/photo.jpg"), "jpeg"));
        ASSERT_TRUE(realfs::setAttribute(volume.at("dir/photo.jpg"), "user.payload", kPayload));
        ASSERT_TRUE(realfs::writeFile(volume.at("plain.txt"), "plain"));
    }

    void TearDown() override {
        if (volume.mounted())
            volume.unmount();
    }

    void scan() {
        ScanOptions options;
        options.showItemsWithoutStreams = true;
        stats = scanRoots(
            {decodeName(volume.mountPoint())}, options,
            [&](const StreamRecord& record) { records.push_back(record); }, {}, {}, fs);
    }

    std::uint64_t indexOf(const std::u16string& hostName, const std::u16string& streamName) {
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].hostName == hostName && records[i].streamName == streamName)
                return i;
        }
        ADD_FAILURE() << "no record for a stream the volume holds";
        return records.size();
    }

    std::u16string at(const std::string& relative) { return decodeName(volume.at(relative)); }

    void remount() {
        std::string error;
        ASSERT_TRUE(volume.unmount(&error)) << error;
        ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, folder.at("ntfs"), "", error)) << error;
    }

    std::string attribute(const std::string& relative, const std::string& name) {
        std::string value;
        return realfs::getAttribute(volume.at(relative), name, value) ? value : "<missing>";
    }

    TempFolder folder{"ntfs-delete"};
    std::string image;
    MountedVolume volume;
    PosixFileSystem fs;
    ScanStats stats;
    std::vector<StreamRecord> records;
};

TEST_F(NtfsDeleteTest, ChosenStreamsGoAndEverythingElseStaysByteForByte) {
    scan();
    ASSERT_EQ(stats.accessDenied + stats.listFailed + stats.unreadableStreams, 0u);
    // The same stream listed twice, as overlapping roots would list it.
    records.push_back(records[indexOf(u"setup.exe", u"Zone.Identifier")]);
    const std::uint64_t duplicate = records.size() - 1;

    const std::vector<std::uint64_t> selected = {
        indexOf(u"setup.exe", u"Zone.Identifier"), indexOf(u"setup.exe", u"payload"),
        indexOf(u"plain.txt", u""), indexOf(u"dir", u"folder stream"), duplicate};
    const DeletePlan plan = planDelete(records, selected, PathStyle::posix);
    ASSERT_EQ(plan.targets.size(), 3u);
    EXPECT_EQ(plan.rowGroups[0], (std::vector<std::uint64_t>{selected[0], duplicate}));
    EXPECT_EQ(plan.rowsWithoutStream, 1u);
    EXPECT_TRUE(plan.refusedLines.empty());

    const BoxMessage question = confirmationMessage(plan);
    EXPECT_EQ(question.text,
              u"Remove 3 streams from 2 files?\n"
              u"\n    " +
                  at("setup.exe") + u" : Zone.Identifier" + u"\n    " + at("setup.exe") +
                  u" : payload" + u"\n    " + at("dir") + u" : folder stream" +
                  u"\n\n1 selected row has no stream to remove and will be left "
                  u"alone." +
                  kClosingParagraphs);
    EXPECT_EQ(question.style, kQuestionDefaultNoBox);

    const RemovalResult result = RemoveStreams(plan.targets, fs);
    EXPECT_EQ(result.removedCount, 3u);
    const DeleteAftermath aftermath = applyRemovalResult(plan, result, records.size());
    ASSERT_EQ(aftermath.removedMask.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const bool chosen =
            i == selected[0] || i == selected[1] || i == selected[3] || i == duplicate;
        EXPECT_EQ(aftermath.removedMask[i], chosen) << i;
    }
    EXPECT_TRUE(aftermath.failureLines.empty());
    const BoxMessage done = removalResultMessage(result, aftermath.failureLines);
    EXPECT_EQ(done.text, u"Removed 3 streams.");
    EXPECT_EQ(done.style, kInformationBox);
    EXPECT_EQ(removalStatusText(result.removedCount),
              u"Removed 3 streams. Press F5 to scan again.");

    remount();
    EXPECT_FALSE(realfs::hasAttribute(volume.at("setup.exe"), "user.Zone.Identifier"));
    EXPECT_FALSE(realfs::hasAttribute(volume.at("setup.exe"), "user.payload"));
    EXPECT_FALSE(realfs::hasAttribute(volume.at("dir"), "user.folder stream"));
    std::string content;
    ASSERT_TRUE(realfs::readFile(volume.at("setup.exe"), content));
    EXPECT_TRUE(content == hostContent()) << "the host's content changed";
    EXPECT_EQ(attribute("setup.exe", "user.notes"), "keep me");
    EXPECT_EQ(attribute("dir/photo.jpg", "user.payload"), kPayload);
    ASSERT_TRUE(realfs::readFile(volume.at("dir/photo.jpg"), content));
    EXPECT_EQ(content, "jpeg");
    ASSERT_TRUE(realfs::readFile(volume.at("plain.txt"), content));
    EXPECT_EQ(content, "plain");

    // A fresh scan finds exactly the streams that were not chosen.
    records.clear();
    scan();
    std::vector<std::u16string> left;
    for (const StreamRecord& record : records) {
        if (!record.streamName.empty())
            left.push_back(record.hostName + u":" + record.streamName);
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::u16string>{u"photo.jpg:payload", u"setup.exe:notes"}));
}

TEST_F(NtfsDeleteTest, AStreamGoneSinceTheScanIsNamedAndItsRowStays) {
    scan();
    const std::vector<std::uint64_t> selected = {indexOf(u"setup.exe", u"notes"),
                                                 indexOf(u"photo.jpg", u"payload")};
    const DeletePlan plan = planDelete(records, selected, PathStyle::posix);
    ASSERT_EQ(plan.targets.size(), 2u);
    // Someone else removes it between the scan and the answer.
    ASSERT_TRUE(realfs::hasAttribute(volume.at("setup.exe"), "user.notes"));
    ASSERT_EQ(::lremovexattr(volume.at("setup.exe").c_str(), "user.notes"), 0);

    const RemovalResult result = RemoveStreams(plan.targets, fs);
    EXPECT_EQ(result.removedCount, 1u);
    EXPECT_EQ(result.failedCount, 1u);
    const DeleteAftermath aftermath = applyRemovalResult(plan, result, records.size());
    EXPECT_FALSE(aftermath.removedMask[selected[0]]);
    EXPECT_TRUE(aftermath.removedMask[selected[1]]);
    const BoxMessage done = removalResultMessage(result, aftermath.failureLines);
    EXPECT_EQ(done.text, u"Removed 1 stream.\n\n1 could not be removed:\n    " + at("setup.exe") +
                             u" : notes  --  Stream not found (2)");
    EXPECT_EQ(done.style, kWarningBox);

    remount();
    EXPECT_FALSE(realfs::hasAttribute(volume.at("dir/photo.jpg"), "user.payload"));
    EXPECT_EQ(attribute("setup.exe", "user.Zone.Identifier"), kZoneText);
    EXPECT_EQ(attribute("setup.exe", "user.payload"), kPayload);
}

}  // namespace
}  // namespace tessalin

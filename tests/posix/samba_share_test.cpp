// Shares of a real Samba server on 127.0.0.1, written by a real client: streams
// kept Samba's two ways (streams_xattr in attributes, streams_depot in files
// below .streams) are scanned, read and removed as the client sees them.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "engine/posix/posix_file_system.h"
#include "engine/removal.h"
#include "engine/stream_listing.h"
#include "engine/unicode.h"
#include "frontend/delete_plan.h"
#include "support/real_volumes.h"
#include "support/scan_stats_printer.h"

namespace streamscan {
namespace {

using namespace realfs;

const std::string kZoneText = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://host.test/s.exe\r\n";
const std::string kPayload("MZ\x90\0\x03\0\0\0\x04\0\0\0\xff\xff\0\0\xb8", 17);

class SambaShare : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = SambaServer::unavailableReason(); !why.empty())
            GTEST_SKIP() << why;
        ASSERT_TRUE(makeFolder(share, 0777));
        ASSERT_TRUE(writeFile(folder.at("payload"), kPayload) &&
                    writeFile(folder.at("zone"), kZoneText));
    }

    void serve(const std::string& vfsObjects) {
        std::string error;
        ASSERT_TRUE(server.start(share, vfsObjects, error)) << error;
    }

    // Runs the client's commands from the folder that holds the files it puts.
    void write(const std::string& commands) {
        const CommandResult wrote = server.client("lcd " + folder.path() + "; " + commands);
        ASSERT_EQ(wrote.exitCode, 0) << wrote.output();
    }

    TempFolder folder{"samba"};
    const std::string share = folder.at("share");
    SambaServer server;
    PosixFileSystem fs;
};

// A client writes a stream and marks the file hidden and read-only on a share
// that keeps them in attributes (streams_xattr, user.DOSATTRIB): the scan sees
// both, and a removal reaches what the client sees.
TEST_F(SambaShare, StreamsAndAttributesAWindowsClientSetAreScannedAndRemoved) {
    serve("streams_xattr");
    write(
        "put zone setup.exe; put zone setup.exe:Zone.Identifier; put zone plain.exe;"
        " setmode setup.exe +hr");

    const ScanResult result = scanTree(fs, {share}, {.showItemsWithoutStreams = true});
    // Samba's record of each item's DOS attributes is no stream.
    EXPECT_EQ(result.stats, (ScanStats{.files = 2,
                                       .folders = 1,
                                       .itemsWithStreams = 1,
                                       .streams = 1,
                                       .metadataAttributes = 2}));
    const StreamRecord* row = result.find(u"setup.exe", u"Zone.Identifier");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->streamSize, kZoneText.size());  // Samba's trailing zero is not content
    EXPECT_EQ(row->hostAttributes & 0x3u, 0x3u);   // hidden and read-only
    EXPECT_EQ(result.find(u"plain.exe", u"")->hostAttributes & 0x3u, 0u);

    EXPECT_EQ(RemoveStreams({{decodeName(share + "/setup.exe"), u"Zone.Identifier", u"$DATA"}}, fs)
                  .removedCount,
              1u);
    const CommandResult info = server.client("allinfo setup.exe");
    EXPECT_NE(info.out.find("stream: [::$DATA]"), std::string::npos) << info.output();
    EXPECT_EQ(info.out.find("Zone.Identifier"), std::string::npos) << info.output();
}

// streams_depot keeps each stream as a file below the share's .streams folder
// and marks the item user.SAMBA_STREAMS. Scanned from a folder below the share,
// every stream the client wrote is listed for its file or folder with its size
// and content, the markers are no rows, and a removal deletes one stream only.
TEST_F(SambaShare, StreamsKeptInTheDepotAreListedReadAndRemoved) {
    serve("streams_depot");
    write(
        "mkdir sub; put zone sub/a.txt; put payload sub/a.txt:evil;"
        " put zone sub/a.txt:Zone.Identifier; put zone sub:note");

    const std::string sub = share + "/sub";
    // A copy keeps the mark but not the streams: as for Samba, it has none.
    ASSERT_TRUE(makeFile(sub + "/copy.txt", {"user.SAMBA_STREAMS", "1"}));
    const ScanResult result = scanTree(fs, {sub});
    // The markers and Samba's DOS attributes of the files and the folder.
    EXPECT_EQ(result.stats, (ScanStats{.files = 2,
                                       .folders = 1,
                                       .itemsWithStreams = 2,
                                       .streams = 3,
                                       .metadataAttributes = 5}));
    ASSERT_EQ(result.records.size(), 3u);
    const StreamRecord* note = result.find(u"sub", u"note");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->hostIsFolder);
    EXPECT_EQ(note->streamSize, kZoneText.size());
    const StreamRecord* evil = result.find(u"a.txt", u"evil");
    const StreamRecord* zone = result.find(u"a.txt", u"Zone.Identifier");
    ASSERT_TRUE(evil != nullptr && zone != nullptr);
    EXPECT_EQ(evil->streamSize, kPayload.size());
    EXPECT_EQ(headOf(*evil), kPayload.substr(0, 16));
    EXPECT_EQ(evil->severity, 2u);
    EXPECT_EQ(zone->streamSize, kZoneText.size());
    EXPECT_EQ(zone->zone.zone, 3u);

    // What --hash and --extract read is the depot file's whole content.
    std::unique_ptr<StreamReader> reader;
    ASSERT_EQ(fs.openListedStream(*evil, reader), kErrorSuccess);
    const StreamBytes read = readFromStream(*reader, 4096);
    EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), kPayload);

    const std::uint64_t evilRow = static_cast<std::uint64_t>(evil - result.records.data());
    EXPECT_EQ(
        RemoveStreams(tessalin::planDelete(result.records, {evilRow}, PathStyle::posix).targets, fs)
            .removedCount,
        1u);
    const CommandResult info = server.client("allinfo sub/a.txt");
    EXPECT_EQ(info.out.find(":evil"), std::string::npos) << info.output();
    EXPECT_NE(
        info.out.find("stream: [:Zone.Identifier:$DATA], " + std::to_string(kZoneText.size())),
        std::string::npos)
        << info.output();
}

}  // namespace
}  // namespace streamscan

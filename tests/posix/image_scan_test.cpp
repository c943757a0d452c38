// Disk images read through the image port, made by the tests themselves: an NTFS
// volume filled through a real ntfs-3g mount, the same volume in a partitioned
// disk beside a FAT partition and in every container the library reads, and
// hostile images. The image's rows are checked against the live mount and
// against TSK's own listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/image/image_file_system.h"
#include "engine/path_forms.h"
#include "engine/posix/posix_file_system.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using realfs::CommandResult;
using realfs::MountedVolume;
using realfs::runCommand;
using realfs::TempFolder;
using realfs::VolumeKind;

#ifdef TESSALIN_SCAN_BINARY
const std::string kBinary = TESSALIN_SCAN_BINARY;
#else
const std::string kBinary = realfs::executableFolder() + "/tessalin-scan";
#endif

constexpr std::uint64_t kBigStream = 2 * 1024 * 1024;
const std::string kRtl = "\xE2\x80\xAE";  // U+202E, right-to-left override

// Every run is bounded, so a hostile image can never hang the suite.
CommandResult scan(std::vector<std::string> args) {
    args.insert(args.begin(), {"timeout", "120", kBinary});
    return runCommand(args);
}

// One made NTFS image and its copies, shared by every test of the suite.
struct Images {
    std::unique_ptr<TempFolder> folder;
    std::string unavailable;
    std::string ntfs;  // the NTFS volume, no partition table
    // DOS and GPT tables: p1 the same NTFS volume, p2 FAT (empty when sfdisk is missing)
    std::string disk;
    std::string gptDisk;
};

// A disk with a partition table: p1 the NTFS volume, p2 a FAT one.
std::string partitionedDisk(Images& made, const std::string& name, const std::string& label,
                            const std::string& ntfsType, const std::string& fatType) {
    const std::string disk = made.folder->at(name);
    const std::string fat = made.folder->at("fat.img");
    const std::string table = made.folder->at("table");
    std::ofstream(table) << "label: " << label << "\nstart=2048, size=24576, type=" << ntfsType
                         << "\nstart=26624, size=8192, type=" << fatType << "\n";
    std::string error;
    if (runCommand({"truncate", "-s", "18M", disk}).exitCode != 0 ||
        runCommand({"sh", "-c", "sfdisk -q '" + disk + "' < '" + table + "'"}).exitCode != 0 ||
        !realfs::makeVolumeImage(VolumeKind::fat, fat, 4, error) ||
        runCommand({"dd", "if=" + made.ntfs, "of=" + disk, "bs=512", "seek=2048", "conv=notrunc",
                    "status=none"})
                .exitCode != 0 ||
        runCommand({"dd", "if=" + fat, "of=" + disk, "bs=512", "seek=26624", "conv=notrunc",
                    "status=none"})
                .exitCode != 0) {
        made.unavailable += "could not make " + name + " " + error;
    }
    return disk;
}

Images& images() {
    static Images made = [] {
        Images result;
        result.unavailable = realfs::volumeUnavailableReason(VolumeKind::ntfs);
        if (!result.unavailable.empty()) {
            return result;
        }
        result.folder = std::make_unique<TempFolder>("images");
        result.ntfs = result.folder->at("ntfs.img");
        std::string error;
        MountedVolume volume;
        if (!realfs::makeVolumeImage(VolumeKind::ntfs, result.ntfs, 12, error) ||
            !volume.mount(VolumeKind::ntfs, result.ntfs, result.folder->at("mnt"),
                          "streams_interface=windows", error)) {
            result.unavailable = error;
            return result;
        }
        const auto put = [&](const std::string& path, const std::string& content) {
            if (!realfs::writeFile(volume.at(path), content)) {
                result.unavailable += "could not write " + path + "; ";
            }
        };
        put("report.docx", "document");
        put("report.docx:Zone.Identifier",
            "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.net/r.docx\r\n");
        put("padded.txt", "x");
        put("padded.txt:Zone.Identifier",
            "[ZoneTransfer]\r\nZoneId=4\r\n" + std::string(6000, ';') + "\r\n");
        put("odd.txt", "x");
        put("odd.txt:Zone.Identifier", "[ZoneTransfer]\r\nZoneId=9\r\n");
        put("notes.txt", "plain");
        put("notes.txt:payload", "MZ\x90" + std::string(300, 'p'));
        put("big.bin", "b");
        put("big.bin:blob", std::string(kBigStream, 'B'));
        realfs::makeFolder(volume.at("docs"));
        put("docs:folder" + kRtl + "note", "on the folder");
        put("tab\there" + kRtl + "txt.exe", "n");
        put("tab\there" + kRtl + "txt.exe:x", "1");
        put("secret.txt", "s");
        put("secret.txt:s", "22");
        realfs::setAttribute(volume.at("secret.txt"), "system.ntfs_attrib_be",
                             std::string("\0\0\0\x06", 4));
        put("gone.txt", "g");
        put("gone.txt:left", "behind");
        if (std::remove(volume.at("gone.txt").c_str()) != 0 || !volume.unmount(&error)) {
            result.unavailable += "could not finish the volume " + error;
        }

        if (runCommand({"sfdisk", "--version"}).exitCode == 0) {
            result.disk = partitionedDisk(result, "disk.img", "dos", "7", "c");
            result.gptDisk =
                partitionedDisk(result, "gpt.img", "gpt", "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7",
                                "C12A7328-F81F-11D2-BA4B-00A0C93EC93B");
        }
        return result;
    }();
    return made;
}

class ImageScan : public testing::Test {
  protected:
    void SetUp() override {
        if (!images().unavailable.empty()) {
            GTEST_SKIP() << "no NTFS image here: " << images().unavailable;
        }
    }
};

// (path inside the volume, stream name) -> size, from a scan through `fs`.
std::map<std::pair<std::string, std::string>, std::uint64_t> streamsOf(
    FileSystem& fs, const std::u16string& root, std::vector<StreamRecord>* records = nullptr,
    ScanStats* stats = nullptr) {
    std::map<std::pair<std::string, std::string>, std::uint64_t> found;
    const ScanStats counted = scanRoots(
        {root}, ScanOptions(),
        [&](const StreamRecord& record) {
            const std::string host = encodeName(hostPathOf(record, fs.pathStyle()));
            found[{host.substr(encodeName(root).size()), encodeName(record.streamName)}] =
                record.streamSize;
            if (records != nullptr) {
                records->push_back(record);
            }
        },
        nullptr, nullptr, fs);
    if (stats != nullptr) {
        *stats = counted;
    }
    return found;
}

TEST_F(ImageScan, AgreesWithTheLiveMountAndWithTheLibrarysOwnListing) {
    ImageFileSystem port(nativeFileSystem(), false);
    const ImageOpening opened = port.openImage(decodeName(images().ntfs), kEveryPartition);
    ASSERT_EQ(opened.error, u"");
    ASSERT_EQ(opened.roots, std::vector<std::u16string>{decodeName(images().ntfs + "//p0")});
    std::vector<StreamRecord> records;
    ScanStats stats;
    const auto fromImage = streamsOf(port, opened.roots[0], &records, &stats);
    EXPECT_EQ(stats.listFailed + stats.unreadableStreams + stats.volumesWithoutStreams, 0u);
    EXPECT_EQ(fromImage.size(), 8u);
    EXPECT_EQ(fromImage.at({"/big.bin", "blob"}), kBigStream);

    // The live port through ntfs-3g sees the same streams; the big one only up
    // to the 64 KiB the attribute interface shows.
    MountedVolume volume;
    std::string error;
    ASSERT_TRUE(
        volume.mount(VolumeKind::ntfs, images().ntfs, images().folder->at("live"), "ro", error))
        << error;
    const auto fromMount = streamsOf(nativeFileSystem(), decodeName(volume.mountPoint()));
    ASSERT_EQ(fromMount.size(), fromImage.size());
    for (const auto& [key, size] : fromImage) {
        ASSERT_EQ(fromMount.count(key), 1u) << key.first << ":" << key.second;
        EXPECT_EQ(fromMount.at(key), std::min<std::uint64_t>(size, 65536)) << key.first;
    }
    volume.unmount();

    // fls names the same streams (and the file system's own, which a listing
    // of the volume does not show).
    const CommandResult fls = runCommand({"fls", "-r", "-p", images().ntfs});
    ASSERT_EQ(fls.exitCode, 0) << fls.output;
    std::set<std::pair<std::string, std::string>> listed;
    std::istringstream lines(fls.output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t tab = line.find('\t');
        const std::string name = line.substr(tab + 1);
        const std::size_t colon = name.rfind(':');
        if (line.find(" * ") != std::string::npos || name[0] == '$' || colon == std::string::npos) {
            continue;
        }
        const std::string host = name.substr(0, colon);
        if (host == "." || host.ends_with("/.")) {
            continue;  // a folder's streams again, under its "." entry
        }
        listed.insert({"/" + host, name.substr(colon + 1)});
    }
    std::set<std::pair<std::string, std::string>> ours;
    for (const auto& [key, size] : fromImage) {
        std::string host = key.first;
        std::replace(host.begin(), host.end(), '\t', '^');  // as fls shows a control character
        ours.insert({host, key.second});
    }
    EXPECT_EQ(ours, listed);

    // What only the image gives: the exact bytes behind the cap, the NTFS
    // attributes, and a Zone.Identifier past the probe's 4096 bytes read whole.
    for (const StreamRecord& record : records) {
        const std::string name = encodeName(record.hostName);
        if (name == "big.bin") {
            EXPECT_FALSE(record.unreadable);
            EXPECT_EQ(record.headLength, 16u);
            EXPECT_EQ(record.head[15], 'B');
        } else if (name == "secret.txt") {
            EXPECT_EQ(record.hostAttributes & 0x6u, 0x6u);
        } else if (name == "padded.txt") {
            EXPECT_TRUE(record.zone.zoneIdParsed);
            EXPECT_EQ(record.zone.zone, 4u);
        }
    }
    EXPECT_EQ(port.deleteStream(opened.roots[0] + u"/big.bin", u"blob", u"$DATA"),
              kErrorWriteProtect);
}

// The CSV report of an image, with the image's own root replaced, so the rows
// of one volume in different containers can be compared.
std::u16string reportRows(const std::vector<std::string>& args, const std::string& root,
                          CommandResult& run) {
    const std::string csv = images().folder->at("rows.csv");
    std::vector<std::string> all = {"--image", "-q", "--csv", csv};
    all.insert(all.end(), args.begin(), args.end());
    run = scan(all);
    std::ifstream file(csv, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    const std::u16string from = decodeName(root);
    for (std::size_t at = text.find(from); at != std::u16string::npos;
         at = text.find(from, at + 4)) {
        text.replace(at, from.size(), u"ROOT");
    }
    const std::size_t note = text.find(u"\r\n\r\n");  // the rows, not the coverage note
    return note == std::u16string::npos ? text : text.substr(0, note + 2);
}

TEST_F(ImageScan, GivesTheSameRowsFromEveryContainer) {
    CommandResult run;
    const std::u16string raw = reportRows({images().ntfs}, images().ntfs + "//p0", run);
    ASSERT_EQ(run.exitCode, 1) << run.output;  // the MZ payload is an Alert
    ASSERT_NE(raw.find(u"ROOT/big.bin,File,blob,$DATA,2.0 MB,2097152"), std::u16string::npos);

    struct Container {
        std::string name;
        std::vector<std::string> make;  // the command that makes it from the raw image
        std::string extension;          // what the tool appends to the name it was given
    };
    const std::string base = images().folder->at("copy");
    const Container containers[] = {
        {"split raw",
         {"split", "--numeric-suffixes=1", "-a", "3", "-b", "5M", images().ntfs, base + "-split."},
         "-split.001"},
        {"VMDK", {"qemu-img", "convert", "-O", "vmdk", images().ntfs, base + ".vmdk"}, ".vmdk"},
        {"VHDX", {"qemu-img", "convert", "-O", "vhdx", images().ntfs, base + ".vhdx"}, ".vhdx"},
        {"E01",
         {"ewfacquire", "-u", "-q", "-c", "none", "-t", base + "-ewf", images().ntfs},
         "-ewf.E01"},
    };
    for (const Container& container : containers) {
        const CommandResult made = runCommand(container.make);
        if (made.exitCode != 0) {
            ADD_FAILURE() << container.name << " could not be made: " << made.output;
            continue;
        }
        const std::string image = base + container.extension;
        EXPECT_EQ(reportRows({image}, image + "//p0", run), raw) << container.name;
        EXPECT_EQ(run.exitCode, 1) << container.name << run.output;
    }

    if (images().disk.empty()) {
        GTEST_SKIP() << "sfdisk (package fdisk) is missing: no partitioned disk";
    }
    // The NTFS partition gives the same rows; the FAT one is a volume without streams.
    for (const std::string& disk : {images().disk, images().gptDisk}) {
        EXPECT_EQ(reportRows({disk}, disk + "//p1", run), raw) << disk;
        EXPECT_EQ(run.exitCode, 3) << run.output;
        EXPECT_NE(run.output.find(disk + "//p2  (FAT"), std::string::npos) << run.output;
        EXPECT_EQ(reportRows({"--partition", "1", disk}, disk + "//p1", run), raw) << disk;
        EXPECT_EQ(run.exitCode, 1) << run.output;
    }
}

TEST_F(ImageScan, ListsTheStreamsOfDeletedFilesOnlyWhenAsked) {
    const CommandResult plain = scan({"--image", images().ntfs});
    EXPECT_EQ(plain.output.find("gone.txt"), std::string::npos) << plain.output;
    EXPECT_EQ(plain.output.find("deleted items"), std::string::npos);

    // Extraction after the scan reaches items whose folders were listed long
    // before, deleted ones included, and copies the big stream whole.
    const std::string out = images().folder->at("extracted");
    const CommandResult deleted = scan({"--image", "--deleted", "--extract", out, images().ntfs});
    std::ifstream manifestFile(out + "/manifest.json");
    const std::string manifest((std::istreambuf_iterator<char>(manifestFile)), {});
    EXPECT_NE(manifest.find("//p0/gone.txt\",\"stream\":\"left\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("\"stream\":\"blob\",\"streamType\":\"$DATA\",\"size\":2097152"),
              std::string::npos)
        << manifest;
    const std::size_t row = deleted.output.find("//p0/gone.txt:left:$DATA");
    ASSERT_NE(row, std::string::npos) << deleted.output;
    const std::string line = deleted.output.substr(row, deleted.output.find('\n', row) - row);
    EXPECT_NE(line.find("Deleted file"), std::string::npos) << line;
    EXPECT_NE(deleted.output.find("\n1 stream belongs to deleted items\n"), std::string::npos)
        << deleted.output;
}

// A copy of the NTFS image with `change` applied to its bytes.
std::string hostileCopy(const std::string& name,
                        const std::function<void(std::string& bytes)>& change) {
    std::ifstream in(images().ntfs, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    change(bytes);
    const std::string path = images().folder->at(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::uint64_t mftOffset(const std::string& bytes) {
    const auto le = [&](std::size_t at, int count) {
        std::uint64_t value = 0;
        for (int i = count - 1; i >= 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
        }
        return value;
    };
    return le(0x30, 8) * le(0x0B, 2) * le(0x0D, 1);
}

// Makes the index entry of `name` in its folder point at the root folder, so
// the folder index loops back to the top.
void loopToRoot(std::string& bytes, const std::string& name) {
    std::u16string wide(name.begin(), name.end());
    const std::string needle(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    for (std::size_t at = bytes.find(needle); at != std::string::npos;
         at = bytes.find(needle, at + 1)) {
        // An index entry: the file reference 82 bytes before the name, its
        // length 8 bytes later; in a record's own name attribute there is the
        // attribute header instead.
        const std::size_t entry = at - 82;
        if (at < 82 || bytes[entry + 6] != 1 || static_cast<unsigned char>(bytes[entry + 8]) < 82) {
            continue;
        }
        std::memcpy(&bytes[entry], "\x05\0\0\0\0\0\x05\0", 8);
    }
}

TEST_F(ImageScan, HostileImagesGiveCountedFailuresAndAFinishedScan) {
    struct Case {
        std::string name;
        std::function<void(std::string&)> change;
    };
    std::mt19937 random(14);
    const Case cases[] = {
        {"truncated", [](std::string& b) { b.resize(mftOffset(b) + 66 * 1024); }},
        {"zeroed-mft",
         [](std::string& b) { std::fill_n(b.begin() + mftOffset(b) + 64 * 1024, 16 * 1024, 0); }},
        {"random", [&](std::string& b) { std::generate(b.begin(), b.end(), std::ref(random)); }},
        {"random-mft",
         [&](std::string& b) {
             std::generate_n(b.begin() + mftOffset(b) + 64 * 1024, 16 * 1024, std::ref(random));
         }},
        {"looping-index", [](std::string& b) { loopToRoot(b, "docs"); }},
    };
    for (const Case& c : cases) {
        const CommandResult run = scan({"--image", "--deleted", hostileCopy(c.name, c.change)});
        // 2 = something was not examined; 1 may come on top from what was read.
        EXPECT_TRUE(run.exitCode == 2 || run.exitCode == 3) << c.name << ": " << run.output;
        EXPECT_TRUE(run.output.find("Scan complete.") != std::string::npos ||
                    run.output.find("tessalin-scan: ") != std::string::npos)
            << c.name << ": " << run.output;
    }
}

TEST_F(ImageScan, SaysWhyAnImageCannotBeScanned) {
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    std::vector<Case> cases = {
        {{images().folder->at("none.img")}, "none.img: no such file or device"},
        {{images().folder->path()}, ": this is a folder, not a disk image or device"},
        {{"--partition", "2", images().ntfs},
         "ntfs.img: the image has no partition table, so no partition 2"},
        {{hostileCopy("zeros", [](std::string& b) { std::fill(b.begin(), b.end(), 0); })},
         "zeros: no file system this can read was found in the image"},
    };
    if (!images().disk.empty()) {
        cases.push_back({{"--partition", "3", images().disk},
                         "disk.img: the image has no partition 3 (it has 2)"});
    }
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--image"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CommandResult run = scan(args);
        EXPECT_EQ(run.exitCode, 2) << run.output;
        EXPECT_NE(run.output.find(c.said), std::string::npos) << run.output;
    }
}

}  // namespace
}  // namespace streamscan

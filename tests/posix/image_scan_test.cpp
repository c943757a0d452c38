// Disk images read through the image port, made by the tests themselves: an NTFS
// volume filled through a real ntfs-3g mount, the same volume in a partitioned
// disk beside a FAT partition and in every container the library reads, and
// hostile copies. The rows are checked against the live mount.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "cli/options.h"
#include "engine/image/image_file_system.h"
#include "engine/path_forms.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using namespace realfs;

constexpr std::uint64_t kBigStream = 2 * 1024 * 1024;

// The NTFS image and two partitioned disks holding it (dos.img, gpt.img), made
// once for the suite.
struct Images {
    std::unique_ptr<TempFolder> folder;
    std::string unavailable;
    std::string ntfs;
};

Images& images() {
    static Images made = [] {
        Images result;
        result.unavailable = volumeUnavailableReason(VolumeKind::ntfs);
        if (!result.unavailable.empty())
            return result;
        result.folder = std::make_unique<TempFolder>("images");
        result.ntfs = result.folder->at("ntfs.img");
        MountedVolume volume;
        if (!volume.mount(VolumeKind::ntfs, result.ntfs, result.folder->at("mnt"),
                          "streams_interface=windows", result.unavailable))
            return result;
        const std::pair<std::string, std::string> files[] = {
            {"report.docx", "document"},
            {"report.docx:Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n"},
            {"padded.txt", "x"},
            // Past the probe's 4096 bytes: the image port reads it whole.
            {"padded.txt:Zone.Identifier",
             "[ZoneTransfer]\r\n" + std::string(6000, ';') + "\r\nZoneId=4\r\n"},
            {"notes.txt", "plain"},
            {"notes.txt:payload", "MZ\x90" + std::string(300, 'p')},
            {"big.bin", "b"},
            {"big.bin:blob", std::string(kBigStream, 'B')},
            {"tab\there\u202Etxt.exe", "n"},
            {"tab\there\u202Etxt.exe:x", "1"},
            {"secret.txt", "s"},
            {"secret.txt:s", "22"},
            {"gone.txt", "g"},
            {"gone.txt:left", "behind"},
        };
        makeFolder(volume.at("docs"));
        writeFile(volume.at("docs:folder\u202Enote"), "on the folder");
        for (const auto& [name, content] : files) {
            if (!writeFile(volume.at(name), content))
                result.unavailable += "could not write " + name + "; ";
        }
        setAttribute(volume.at("secret.txt"), "system.ntfs_attrib_be",
                     std::string("\0\0\0\x06", 4));
        if (unlink(volume.at("gone.txt").c_str()) != 0 || !volume.unmount(&result.unavailable))
            result.unavailable += "could not finish the volume";
        // A DOS and a GPT disk: p1 the same NTFS volume, p2 a FAT one.
        const CommandResult disks = runCommand({"sh", "-c", R"(set -e; cd "$0"
            mkfs.vfat -C fat.img 4096 > /dev/null
            for table in "dos 7 c" "gpt EBD0A0A2-B9E5-4433-87C0-68B6B72699C7 C12A7328-F81F-11D2-BA4B-00A0C93EC93B"; do
                set -- $table; truncate -s 18M $1.img
                printf 'label: %s\nstart=2048, size=24576, type=%s\nstart=26624, size=8192, type=%s\n' "$@" | sfdisk -q $1.img
                dd if=ntfs.img of=$1.img bs=512 seek=2048 conv=notrunc status=none
                dd if=fat.img of=$1.img bs=512 seek=26624 conv=notrunc status=none
            done)",
                                                result.folder->path()});
        if (disks.exitCode != 0)
            result.unavailable = disks.output();
        return result;
    }();
    return made;
}

class ImageScan : public testing::Test {
  protected:
    void SetUp() override {
        if (!images().unavailable.empty())
            GTEST_SKIP() << "no NTFS image here: " << images().unavailable;
    }
};

CommandResult scan(std::vector<std::string> args) {
    args.insert(args.begin(), {kScanner, "--image"});
    return runCommand(args);
}

// (path inside the volume, stream) -> (size, host modified) of every stream row.
std::map<std::pair<std::string, std::string>, std::pair<std::uint64_t, std::uint64_t>> streamsOf(
    const ScanResult& scanned, const std::string& root, PathStyle style) {
    std::map<std::pair<std::string, std::string>, std::pair<std::uint64_t, std::uint64_t>> found;
    for (const StreamRecord& record : scanned.records) {
        const std::string host = encodeName(hostPathOf(record, style)).substr(root.size());
        found[{host, encodeName(record.streamName)}] = {record.streamSize, record.hostModified};
    }
    return found;
}

TEST_F(ImageScan, AgreesWithTheLiveMount) {
    ImageFileSystem port(nativeFileSystem(), false);
    const ImageOpening opened = port.openImage(decodeName(images().ntfs), kEveryPartition);
    ASSERT_EQ(opened.roots, std::vector<std::u16string>{decodeName(images().ntfs + "//p0")});
    const ScanResult result = scanTree(port, {images().ntfs + "//p0"});
    EXPECT_EQ(result.stats.listFailed + result.stats.unreadableStreams, 0u);
    const auto fromImage = streamsOf(result, images().ntfs + "//p0", port.pathStyle());
    EXPECT_EQ(fromImage.size(), 7u);

    // ntfs-3g sees the same streams and times; the big one only up to the
    // 64 KiB its attribute interface shows.
    MountedVolume volume;
    std::string error;
    ASSERT_TRUE(
        volume.mount(VolumeKind::ntfs, images().ntfs, images().folder->at("live"), "ro", error))
        << error;
    auto fromMount = streamsOf(scanTree(nativeFileSystem(), {volume.mountPoint()}),
                               volume.mountPoint(), PathStyle::posix);
    fromMount[{"/big.bin", "blob"}].first = kBigStream;
    EXPECT_EQ(fromMount, fromImage);
    volume.unmount();

    // What only the image gives: the bytes behind the cap, the NTFS attributes,
    // and a Zone.Identifier read whole however long.
    const StreamRecord* big = result.find(u"big.bin", u"blob");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(std::pair(big->headLength, big->head[15]),
              std::pair(std::uint64_t{16}, std::uint8_t{'B'}));
    EXPECT_EQ(result.find(u"secret.txt", u"s")->hostAttributes & 0x6u, 0x6u);
    EXPECT_EQ(result.find(u"padded.txt", u"Zone.Identifier")->zone.zone, 4u);
    EXPECT_EQ(port.deleteStream(opened.roots[0] + u"/big.bin", u"blob", u"$DATA"),
              kErrorWriteProtect);
}

// The CSV report's rows of an image, with the root replaced, so the rows of one
// volume in different containers can be compared.
std::string reportRows(const std::vector<std::string>& args, const std::string& root,
                       CommandResult& run) {
    const std::string csv = images().folder->at("rows.csv");
    std::vector<std::string> all = {"-q", "--csv", csv};
    all.insert(all.end(), args.begin(), args.end());
    run = scan(all);
    std::string text = readFile(csv).value_or("");
    std::string wide;
    for (const char c : root)
        wide += std::string{c, '\0'};
    for (std::size_t at = text.find(wide); at != text.npos; at = text.find(wide))
        text.replace(at, wide.size(), std::string("R\0", 2));
    const std::size_t note = text.find(std::string("\r\0\n\0\r\0\n\0", 8));
    return note == text.npos ? text : text.substr(0, note + 4);  // not the coverage note
}

TEST_F(ImageScan, GivesTheSameRowsFromEveryContainer) {
    CommandResult run;
    const std::string raw = reportRows({images().ntfs}, images().ntfs + "//p0", run);
    ASSERT_EQ(run.exitCode, 1) << run.output();  // the MZ payload is an Alert
    ASSERT_NE(raw.find(std::string("R\0/\0b\0i\0g\0", 10)), raw.npos);
    const std::string base = images().folder->at("copy");
    const std::pair<std::vector<std::string>, std::string> containers[] = {
        {{"split", "--numeric-suffixes=1", "-a", "3", "-b", "5M", images().ntfs, base + "."},
         ".001"},
        {{"qemu-img", "convert", "-O", "vmdk", images().ntfs, base + ".vmdk"}, ".vmdk"},
        {{"qemu-img", "convert", "-O", "vhdx", images().ntfs, base + ".vhdx"}, ".vhdx"},
        {{"qemu-img", "convert", "-O", "vpc", images().ntfs, base + ".vhd"}, ".vhd"},
        {{"qemu-img", "convert", "-O", "qcow2", images().ntfs, base + ".qcow2"}, ".qcow2"},
        {{"ewfacquire", "-u", "-q", "-c", "none", "-t", base, images().ntfs}, ".E01"},
    };
    for (const auto& [make, extension] : containers) {
        const CommandResult made = runCommand(make);
        ASSERT_EQ(made.exitCode, 0) << made.output();
        EXPECT_EQ(reportRows({base + extension}, base + extension + "//p0", run), raw) << extension;
        EXPECT_EQ(run.exitCode, 1) << extension << run.output();
    }
    // The NTFS partition gives the same rows; the FAT one is a volume without streams.
    for (const std::string label : {"dos", "gpt"}) {
        const std::string disk = images().folder->at(label + ".img");
        EXPECT_EQ(reportRows({disk}, disk + "//p1", run), raw) << label;
        EXPECT_EQ(run.exitCode, 3) << run.output();
        EXPECT_NE(run.out.find(disk + "//p2  (FAT"), std::string::npos) << run.output();
        EXPECT_EQ(reportRows({"--partition", "1", disk}, disk + "//p1", run), raw) << label;
        EXPECT_EQ(run.exitCode, 1) << run.output();
    }
}

// The manifest names the run and each image as it was read: its container,
// its partitions where mmls finds them, and each file's SHA-256.
TEST_F(ImageScan, TheManifestNamesTheRunAndEachImageAsRead) {
    const std::string gpt = images().folder->at("gpt.img");
    const std::string qcow = images().folder->at("gpt.qcow2");
    const CommandResult converted = runCommand({"qemu-img", "convert", "-O", "qcow2", gpt, qcow});
    ASSERT_EQ(converted.exitCode, 0) << converted.output();
    const std::string dos = images().folder->at("dos.img");
    const std::string out = images().folder->at("provenance");
    const CommandResult run = scan({"-q", "--extract", out, "--hash-images", dos, qcow});
    EXPECT_EQ(run.exitCode, 3) << run.output();  // the FAT partitions hold no streams
    const std::string manifest = out + "/manifest.json";
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(shell("jq -r '.program, .version, (.commandLine | join(\" \")), .host, "
                    "(.started <= .ended and (.ended | test(\"^[0-9-]{10}T[0-9:.]{12}Z$\")))' "
                    "\"$1\"",
                    {manifest}),
              "tessalin-scan\n" + streamscan::encodeName(std::u16string(tessalin::cli::kVersion)) +
                  "\ntessalin-scan --image -q --extract " + out + " --hash-images " + dos + " " +
                  qcow + "\n" + host + "\ntrue\n");
    const std::tuple<std::string, std::string, std::string> read[] = {
        {dos, "raw dos 18874368", "NTFS / exFAT (0x07)"},
        {gpt, "qcow2 gpt 18874368", "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"},
    };
    for (std::size_t i = 0; i < std::size(read); ++i) {
        const auto& [disk, facts, firstType] = read[i];
        const std::string image = "--argjson i " + std::to_string(i) + " '.images[$i]";
        EXPECT_EQ(shell("jq -r " + image +
                            " | [.container, .partitionTable, .size] | join(\" \")' \"$1\"",
                        {manifest}),
                  facts + "\n");
        EXPECT_EQ(
            shell("mmls \"$1\" | awk '$1 ~ /^[0-9]+:$/ && $2 ~ /^[0-9]/ {print $3 + 0, $5 + 0}'",
                  {disk}),
            shell("jq -r " + image + ".partitions[] | \"\\(.start) \\(.length)\"' \"$1\"",
                  {manifest}));
        EXPECT_EQ(shell("jq -r " + image + ".partitions[0].type' \"$1\"", {manifest}),
                  firstType + "\n");
        EXPECT_EQ(shell("jq -r " + image +
                            ".files[] | .sha256 + \"  \" + .path' \"$1\" | "
                            "sha256sum -c --quiet && echo verified",
                        {manifest}),
                  "verified\n");
    }
}

TEST_F(ImageScan, ListsTheStreamsOfDeletedFilesOnlyWhenAsked) {
    EXPECT_EQ(scan({images().ntfs}).out.find("gone.txt"), std::string::npos);
    // Extraction after the scan reaches items whose folders were listed long
    // before, deleted ones included, and copies the big stream whole.
    const std::string out = images().folder->at("extracted");
    scan({"--deleted", "--extract", out, images().ntfs});
    const std::string manifest = readFile(out + "/manifest.json").value_or("");
    EXPECT_NE(manifest.find("//p0/gone.txt\",\"stream\":\"left\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("\"stream\":\"blob\",\"streamType\":\"$DATA\",\"size\":2097152"),
              std::string::npos);
}

// A volume with what the library alone drops or mangles, filled through
// ntfs-3g: the MZ stream of a file beside a sparse 2 GiB stream the library
// refuses, a stream on a file NTFS keeps for itself, a deleted file whose name a
// new one took, and ^ain.txt beside a file whose name the copy made here turns
// into a lone surrogate and "ain.txt". Empty, or why it could not be made.
std::string evidence() {
    static const std::string made = [] {
        const std::string image = images().folder->at("evidence.img");
        MountedVolume volume;
        std::string error;
        if (!volume.mount(VolumeKind::ntfs, image, images().folder->at("ev"),
                          "streams_interface=windows", error))
            return error;
        shell(R"(cd "$1" && echo hi > d.txt && printf 'MZ\220' > d.txt:evil &&
            truncate -s 2G d.txt:cover && echo s > '$Extend:mine' && mkdir sub &&
            echo x > sub/notes.txt && echo old > sub/notes.txt:old && rm sub/notes.txt &&
            echo y > sub/notes.txt && echo new > sub/notes.txt:new &&
            for f in Qain.txt '^ain.txt'; do echo 1 > "$f" && echo 2 > "$f:s"; done)",
              {volume.mountPoint()});
        if (!volume.unmount(&error))
            return error;
        std::string bytes = readFile(image).value_or("");
        const std::string plain("Q\0a\0i\0n\0", 8);
        for (std::size_t at = bytes.find(plain); at != bytes.npos; at = bytes.find(plain, at))
            bytes.replace(at, 2, "\0\xD8", 2);
        return writeFile(image, bytes) ? std::string() : "could not write " + image;
    }();
    return made;
}

TEST_F(ImageScan, ListsWhatTheLibraryAloneDropsOrMangles) {
    ASSERT_EQ(evidence(), "");
    const std::string image = images().folder->at("evidence.img");
    ImageFileSystem port(nativeFileSystem(), true);
    port.openImage(decodeName(image), kEveryPartition);
    const ScanResult result = scanTree(port, {image + "//p0"});
    EXPECT_EQ(result.stats.listFailed + result.stats.unreadableStreams, 0u);
    const StreamRecord* evil = result.find(u"d.txt", u"evil");
    ASSERT_NE(evil, nullptr);
    EXPECT_EQ(evil->severity, 2u);
    EXPECT_EQ(result.find(u"d.txt", u"cover")->streamSize, std::uint64_t{2} << 30);
    // $Secure:$SDS, $UpCase:$Info and $BadClus:$Bad are counted, not listed.
    EXPECT_EQ(result.stats.fileSystemStreams, 3u);
    EXPECT_EQ(result.find(u"$Extend", u"mine")->note, u"Stream on a file NTFS keeps for itself");
    EXPECT_NE(result.find(u"notes.txt", u"new"), nullptr);
    EXPECT_EQ(std::count_if(result.records.begin(), result.records.end(),
                            [](const StreamRecord& r) {
                                return r.hostName.starts_with(u"notes.txt (deleted, record ") &&
                                       r.streamName == u"old";
                            }),
              1);
    EXPECT_NE(result.find(u"^ain.txt", u"s"), nullptr);
    EXPECT_NE(result.find(char16_t(0xD800) + std::u16string(u"ain.txt"), u"s"), nullptr);
}

// What a container lacks or hides is named as not examined, in the places, the
// summary and the status alike; a reserved partition is said once, not counted.
TEST_F(ImageScan, NamesWhatAContainerLacksOrHides) {
    ASSERT_EQ(evidence(), "");
    const TempFolder folder("containers");
    // A raw image cut in the middle of the 2 MiB stream, past what the probe reads.
    std::string bytes = readFile(images().ntfs).value_or("");
    bytes.resize(std::min(bytes.size(), bytes.find(std::string(65536, 'B')) + 1048576));
    writeFile(folder.at("cut.img"), bytes);
    const CommandResult made = runCommand({"sh", "-c", R"(set -e; cd "$0"; truncate -s 8M disk.img
        for t in EBD0A0A2-B9E5-4433-87C0-68B6B72699C7 CA7D7CCB-63ED-4C53-861C-1742536059CC \
                 0FC63DAF-8483-4772-8E79-3D69D8477DE4 E3C9E316-0B5C-4DB8-817D-F92DF00215AE; do
            echo "size=2048, type=$t"; done | sfdisk -q -X gpt disk.img
        printf '\353R\220-FVE-FS-' | dd of=disk.img bs=512 seek=2048 conv=notrunc status=none
        printf 'LUKS\272\276' | dd of=disk.img bs=512 seek=4096 conv=notrunc status=none
        ewfacquire -u -q -c none -S 1MiB -t set "$1" > /dev/null; rm set.E03)",
                                           folder.path(), images().folder->at("evidence.img")});
    ASSERT_EQ(made.exitCode, 0) << made.output();
    // An image that cannot be opened beside one that can is counted with its places.
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"disk.img", "gone.img"},
         {R"("kind":"volumesNotRecognised","code":0,"reason":"BitLocker volume, no file system recognised")",
          R"("reason":"LUKS volume, no file system recognised")",
          R"(p3","kind":"volumesNotRecognised","code":0,"reason":"no file system recognised")",
          R"("volumesNotRecognised":3)", "p4: a Microsoft reserved partition, which holds no files",
          R"(gone.img","kind":"listFailed","code":0,"reason":"no such file or device")",
          R"("listFailed":1)"}},
        {{"set.E01"},
         {R"("reason":"the evidence set is incomplete: )" + folder.at("set.E03") + " is missing",
          R"("listFailed":1)"}},
        {{"cut.img"},
         {R"("reason":"the image ends before the volume does")", R"("unreadableStreams":1)",
          "big.bin:blob:$DATA: could not be read whole"}},
    };
    for (const auto& [names, said] : cases) {
        std::vector<std::string> args = {"--json", "--hash"};
        for (const std::string& name : names)
            args.push_back(folder.at(name));
        const CommandResult run = scan(args);
        EXPECT_EQ(run.exitCode & 2, 2) << names.front() << run.output();
        for (const std::string& text : said)
            EXPECT_NE(run.output().find(text), std::string::npos) << text << "\n" << run.output();
    }
}

// A copy of the NTFS image with `change` applied to its bytes.
std::string hostileCopy(const std::string& name, const std::function<void(std::string&)>& change) {
    std::string bytes = readFile(images().ntfs).value_or("");
    change(bytes);
    writeFile(images().folder->at(name), bytes);
    return images().folder->at(name);
}

// Where the MFT starts: its cluster number times the bytes per cluster.
std::size_t mftOffset(const std::string& b) {
    std::uint64_t cluster = 0;
    std::memcpy(&cluster, &b[0x30], 8);
    return cluster *
           (static_cast<unsigned char>(b[0x0B]) | static_cast<unsigned char>(b[0x0C]) << 8) *
           static_cast<unsigned char>(b[0x0D]);
}

// A hostile image gives counted failures and a finished scan; one that cannot
// be read at all says why.
TEST_F(ImageScan, HostileImagesFinishAndUnreadableOnesSayWhy) {
    // Opening a fifo would wait for a writer for ever: it is refused unopened,
    // also as the second segment of a split image.
    const std::string fifo = images().folder->at("fifo.img");
    const std::string split = images().folder->at("split.");
    shell("mkfifo \"$1\" \"$22\" && head -c 1048576 \"$3\" > \"$21\"",
          {fifo, split + "00", images().ntfs});
    std::mt19937 random(14);
    const auto mft = [](std::string& b) { return &b[mftOffset(b) + 64 * 1024]; };
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{hostileCopy("cut", [](std::string& b) { b.resize(mftOffset(b) + 66 * 1024); })}, ""},
        {{hostileCopy("zeroed-mft", [&](std::string& b) { std::fill_n(mft(b), 16384, 0); })}, ""},
        {{hostileCopy("noise-mft",
                      [&](std::string& b) { std::generate_n(mft(b), 16384, std::ref(random)); })},
         ""},
        {{hostileCopy(
             "noise",
             [&](std::string& b) { std::generate(b.begin(), b.end(), std::ref(random)); })},
         "noise: no file system this can read was found in the image"},
        {{images().folder->at("none.img")}, "none.img: no such file or device"},
        {{images().folder->path()}, ": this is a folder, not a disk image or device"},
        {{fifo}, "fifo.img: only a regular file or a block device can be read as a disk image"},
        {{split + "001"}, "its segment " + split + "002 is not a file"},
        {{"--partition", "2", images().ntfs},
         "ntfs.img: the image has no partition table, so no partition 2"},
        {{"--partition", "3", images().folder->at("dos.img")},
         "dos.img: the image has no partition 3 (it has 2)"},
    };
    for (const auto& [args, said] : cases) {
        std::vector<std::string> all = {"--deleted"};
        all.insert(all.end(), args.begin(), args.end());
        const CommandResult run = scan(all);
        // 2: something was not examined; 1 may come on top from what was read.
        EXPECT_TRUE(run.exitCode == 2 || run.exitCode == 3) << args.back() << run.output();
        EXPECT_NE((said.empty() ? run.out : run.err).find(said.empty() ? "Scan complete." : said),
                  std::string::npos)
            << args.back() << run.output();
    }
}

// Where the byte offset `at` of an image lies in a file record of its MFT:
// the record's start, or npos.
std::size_t recordStart(const std::string& b, std::size_t at) {
    const std::size_t start = at - at % 1024;
    return at >= mftOffset(b) && b.compare(start, 4, "FILE") == 0 ? start : std::string::npos;
}

// A whole volume is read from its file records, so a folder index that loops
// loses nothing; a parent reference that loops puts the folder under
// $OrphanFiles, counted.
TEST_F(ImageScan, AWholeVolumeIsReadFromItsRecordsWhateverItsIndexesSay) {
    const std::string docs("d\0o\0c\0s\0", 8);
    const std::string loopingIndex = hostileCopy("looping-index", [&](std::string& b) {
        for (std::size_t at = b.find(docs); at != b.npos; at = b.find(docs, at + 1)) {
            // An index entry has the file reference 82 bytes before the name
            // and its length 8 bytes after that.
            if (at >= 82 && recordStart(b, at) == std::string::npos && b[at - 76] == 1 &&
                static_cast<unsigned char>(b[at - 74]) >= 82)
                std::memcpy(&b[at - 82], "\x05\0\0\0\0\0\x05\0", 8);
        }
    });
    const std::string loopingParent = hostileCopy("looping-parent", [&](std::string& b) {
        // The folder's $FILE_NAME names the folder itself as its parent.
        for (std::size_t at = b.find(docs); at != b.npos; at = b.find(docs, at + 1)) {
            const std::size_t record = recordStart(b, at);
            if (record != std::string::npos && b[at - 2] == 4)
                std::memcpy(&b[at - 0x42], &b[record + 0x2C], 4);
        }
    });
    const std::pair<std::string, std::u16string> cases[] = {
        {loopingIndex, u"/docs"},
        {loopingParent, u"/$OrphanFiles/docs"},
    };
    for (const auto& [image, folder] : cases) {
        ImageFileSystem port(nativeFileSystem(), false);
        port.openImage(decodeName(image), kEveryPartition);
        const ScanResult result = scanTree(port, {image + "//p0"});
        EXPECT_EQ(result.stats.listFailed, 0u) << image;
        const StreamRecord* note = result.find(u"docs", u"folder\u202Enote");
        ASSERT_NE(note, nullptr) << image;
        EXPECT_EQ(note->hostFolder + u"/" + note->hostName, decodeName(image) + u"//p0" + folder);
        EXPECT_EQ(port.orphans(), folder.starts_with(u"/$") ? 1u : 0u);
    }
    const CommandResult said = runCommand({kScanner, "--image", "--json", loopingParent});
    EXPECT_NE(said.out.find("\"orphans\":1"), std::string::npos) << said.out;
    EXPECT_NE(said.err.find("1 item whose folder is gone was listed under $OrphanFiles"),
              std::string::npos)
        << said.err;
}

// A volume with what one record cannot hold: a file with 60 streams and 40
// hard links (ntfs-3g moves its attributes to extension records), a sparse
// 64 MiB stream and a compressed file, all in /sub.
std::string tangled() {
    static const std::string made = [] {
        const std::string image = images().folder->at("tangled.img");
        MountedVolume volume;
        std::string error;
        if (!volume.mount(VolumeKind::ntfs, image, images().folder->at("tg"),
                          "streams_interface=windows,compression", error))
            return error;
        shell(R"(set -e; cd "$1"; mkdir -p sub/links sub/packed; echo hi > sub/many.txt
            for i in $(seq 1 60); do printf 'v%03d' $i > "sub/many.txt:stream_with_a_long_name_$i"; done
            for i in $(seq 1 40); do ln sub/many.txt "sub/links/hard_link_with_a_long_name_$i.txt"; done
            echo s > sub/sparse.bin; truncate -s 64M sub/sparse.bin:holes
            printf MZ | dd of=sub/sparse.bin:holes bs=1 seek=1000000 conv=notrunc status=none
            setfattr -n system.ntfs_attrib_be -v 0x00000810 sub/packed
            yes packed | head -c 100000 > sub/packed/p.txt
            yes inner | head -c 50000 > sub/packed/p.txt:inner)",
              {volume.mountPoint()});
        return volume.unmount(&error) ? std::string() : error;
    }();
    return made;
}

// (path, stream) -> what a row says of it, for rows below `below`.
std::map<std::pair<std::u16string, std::u16string>, std::string> rowsBelow(
    const ScanResult& result, const std::u16string& below) {
    std::map<std::pair<std::u16string, std::u16string>, std::string> rows;
    for (const StreamRecord& r : result.records) {
        const std::u16string host = hostPathOf(r, PathStyle::image);
        if (!host.starts_with(below))
            continue;
        const ItemDetails& d = r.hostDetails;
        rows[{host, r.streamName}] =
            std::to_string(r.streamSize) + " " + std::to_string(r.hostModified) + " " +
            std::to_string(r.hostAttributes) + " " + std::to_string(d.mftEntry) + "/" +
            std::to_string(d.mftSequence) + " " + std::to_string(d.times.created.unixSeconds) +
            "." + std::to_string(d.times.changed.nanoseconds) + " " + headOf(r).substr(0, 4);
    }
    return rows;
}

TEST_F(ImageScan, OnePassGivesTheFolderWalksRowsWhereAFileOverflowsItsRecord) {
    ASSERT_EQ(tangled(), "");
    const std::string image = images().folder->at("tangled.img");
    const std::u16string sub = decodeName(image) + u"//p0/sub";
    // A scan that starts below the root walks the folders; one of the whole
    // volume reads the records in one pass.
    ImageFileSystem walked(nativeFileSystem(), false);
    walked.openImage(decodeName(image), kEveryPartition);
    ImageFileSystem passed(nativeFileSystem(), false);
    passed.openImage(decodeName(image), kEveryPartition);
    const ScanResult fromWalk = scanTree(walked, {encodeName(sub)});
    const ScanResult fromPass = scanTree(passed, {image + "//p0"});
    EXPECT_EQ(fromWalk.stats.listFailed + fromWalk.stats.unreadableStreams +
                  fromPass.stats.listFailed + fromPass.stats.unreadableStreams,
              0u);
    const auto rows = rowsBelow(fromPass, sub);
    EXPECT_EQ(rows.size(), 41u * 60 + 2);
    EXPECT_EQ(rowsBelow(fromWalk, sub), rows);
    EXPECT_EQ(fromPass.find(u"sparse.bin", u"holes")->streamSize, std::uint64_t{64} << 20);
    EXPECT_EQ(headOf(*fromPass.find(u"p.txt", u"inner")).substr(0, 6), "inner\n");
}

// The times of a row are those its record holds, as the library's own tool
// prints them: $STANDARD_INFORMATION's and the listed name's $FILE_NAME's.
TEST_F(ImageScan, RowsCarryTheRecordsIdentityAndTimes) {
    ASSERT_EQ(tangled(), "");
    const std::string image = images().folder->at("tangled.img");
    ImageFileSystem port(nativeFileSystem(), false);
    port.openImage(decodeName(image), kEveryPartition);
    const ScanResult result = scanTree(port, {image + "//p0"});
    const StreamRecord* row = result.find(u"many.txt", u"stream_with_a_long_name_7");
    ASSERT_NE(row, nullptr);
    const ItemDetails& d = row->hostDetails;
    ASSERT_TRUE(d.mftKnown);
    EXPECT_EQ(
        shell("istat \"$1\" \"$2\" | grep -o '([0-9-]*)   Name: stream_with_a_long_name_7 '",
              {image, std::to_string(d.mftEntry)}),
        "(128-" + std::to_string(row->attributeId) + ")   Name: stream_with_a_long_name_7 \n");
    const auto text = [](const Timestamp& t) {
        char day[32] = {};
        const time_t seconds = t.unixSeconds;
        tm utc{};
        std::strftime(day, sizeof day, "%Y-%m-%d %H:%M:%S", gmtime_r(&seconds, &utc));
        char fraction[16] = {};
        std::snprintf(fraction, sizeof fraction, ".%09u", t.nanoseconds);
        return std::string(day) + fraction + " (UTC)";
    };
    std::string expected = "Entry: " + std::to_string(d.mftEntry) +
                           "        Sequence: " + std::to_string(d.mftSequence) + "\n";
    for (const ItemTimes* times : {&d.times, &d.fileNameTimes}) {
        expected += "Created:\t" + text(times->created) + "\nFile Modified:\t" +
                    text(times->modified) + "\nMFT Modified:\t" + text(times->changed) +
                    "\nAccessed:\t" + text(times->accessed) + "\n";
    }
    // istat prints the record's header, its times, then each name with its times.
    const std::string printed = shell(
        "istat -z UTC \"$1\" \"$2\" | awk '/^Entry:/ { print } /^Name: / { named = /: many.txt$/ } "
        "/^(Created|File Modified|MFT Modified|Accessed):/ && (n++ < 4 || named)' | head -9",
        {image, std::to_string(d.mftEntry)});
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(d.times.created.digits, 7u);
}

// A report never replaces the image it reads nor another segment of it,
// whatever name it is given; the run is refused before the scan.
TEST_F(ImageScan, AReportNeverReplacesTheImageOrASegmentBeingRead) {
    TempFolder folder("image-report");
    const std::string segments = folder.at("disk.");
    shell("split -n 2 -d -a 3 --numeric-suffixes=1 \"$1\" \"$2\" && ln -s disk.002 \"$3\"",
          {images().ntfs, segments, folder.at("other-name")});
    const std::pair<std::string, std::string> cases[] = {
        {images().ntfs, images().ntfs},
        {segments + "001", folder.at("other-name")},
    };
    for (const auto& [image, report] : cases) {
        const CommandResult run = scan({"--csv", report, image});
        EXPECT_EQ(run.exitCode, 64) << run.output();
        EXPECT_NE(run.err.find("it is a disk image being read"), std::string::npos) << run.err;
        EXPECT_EQ(shell("cat \"$1\"* | cmp - \"$2\" && echo same", {segments, images().ntfs}),
                  "same\n");
    }
}

}  // namespace
}  // namespace streamscan

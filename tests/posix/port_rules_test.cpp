// The Linux port's pure rules, from strings and bytes: which attributes are
// streams and under which names, Samba's DOS attributes, the facts of an item,
// and the mount table.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/posix/dos_attributes.h"
#include "engine/posix/item_facts.h"
#include "engine/posix/mount_table.h"
#include "engine/posix/stream_attributes.h"
#include "engine/win_codes.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using namespace std::string_literals;

// Every user. attribute is a stream, listed under its own name; only Samba's
// trailing zero byte is left out of its size.
TEST(StreamAttributes, EveryUserAttributeIsListedUnderItsOwnName) {
    struct Case {
        std::string attribute;
        const char16_t* listed;  // nullptr: not a stream
        std::size_t length = 4;  // of the value "abc\0"
    };
    const Case cases[] = {
        {"user.Zone.Identifier", u":Zone.Identifier:$DATA"},
        {"user.DosStream.Zone.Identifier:$DATA", u":Zone.Identifier:$DATA", 3},
        {"user.DosStream.x:$EA", u":x:$EA", 3},
        // Samba-form names that do not parse are shown as what they are, never hidden.
        {"user.DosStream.:$DATA", u":DosStream.:$DATA:$DATA"},
        {"user.DosStream.x:", u":DosStream.x::$DATA"},
        {"user.DosStream.x:DATA", u":DosStream.x:DATA:$DATA"},
        {"user.DosStream.x", u":DosStream.x:$DATA"},
        {"user.a:b", u":a:b:$DATA"},
        {"user.DOSATTRIB", u":DOSATTRIB:$DATA"},
        {"user.", nullptr},
        {"security.selinux", nullptr},
        {"system.ntfs_attrib", nullptr},
        {"trusted.x", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isStreamAttribute(c.attribute), c.listed != nullptr) << c.attribute;
        if (c.listed != nullptr) {
            const AttributeStream stream = streamOf(c.attribute);
            EXPECT_EQ(u":" + stream.name + u":" + stream.type, c.listed) << c.attribute;
            EXPECT_EQ(streamLengthOf(c.attribute, "abc\0"s), c.length) << c.attribute;
        }
    }
    // Without its zero, every byte of a Samba-form value is content.
    EXPECT_EQ(streamLengthOf("user.DosStream.s:$DATA", "abc"), 3u);
    EXPECT_EQ(streamLengthOf("user.DosStream.s:$DATA", ""), 0u);
}

// A name reaches every attribute that carries it, and only those: each row's
// listed name leads back to the attribute it came from.
TEST(StreamAttributes, ANameLeadsToEveryAttributeThatCarriesIt) {
    struct Case {
        const char16_t* name;
        const char16_t* type;
        std::vector<std::string> attributes;
    };
    const Case cases[] = {
        {u"foo", u"$DATA", {"user.foo", "user.DosStream.foo:$DATA"}},
        {u"foo", u"", {"user.foo", "user.DosStream.foo:$DATA"}},
        {u"foo", u"$data", {"user.foo", "user.DosStream.foo:$data", "user.DosStream.foo:$DATA"}},
        {u"x", u"$EA", {"user.DosStream.x:$EA"}},
        {u"a:b", u"$DATA", {"user.a:b"}},
        {u":x", u"$DATA", {"user.:x"}},
        {u"DosStream.:$DATA", u"$DATA", {"user.DosStream.:$DATA"}},
        {u"DOSATTRIB", u"$DATA", {"user.DOSATTRIB", "user.DosStream.DOSATTRIB:$DATA"}},
        {u"", u"$DATA", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(attributesOfStream(c.name, c.type), c.attributes)
            << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
        for (const std::string& attribute : c.attributes) {
            EXPECT_EQ(streamOf(attribute).name, c.name) << attribute;
        }
    }
}

TEST(DosAttributes, SambasTextAndBinaryFormsGiveTheAttributeBits) {
    // NDR: the text, the version twice as uint16 (aligned to 2), then the
    // structure aligned to 4 bytes.
    const auto binary = [](std::string prefix, int version, std::string body) {
        std::string value = std::move(prefix);
        value += std::string(value.size() % 2, '\0');
        value += std::string{static_cast<char>(version), 0, static_cast<char>(version), 0};
        value += std::string((4 - value.size() % 4) % 4, '\0');
        return value + body;
    };
    const std::string hiddenReadOnly = "\x23\0\0\0"s;  // archive, hidden, read-only
    const std::string allValid = "\x51\0\0\0"s;
    const std::string noneValid = "\0\0\0\0"s;
    struct Case {
        const char* label;
        std::string value;
        bool parsed;
        std::uint32_t attributes;
    };
    const Case cases[] = {
        {"text", "0x22\0"s, true, 0x22},
        {"text without its zero", "0x6", true, 0x6},
        {"text of three bytes", "0x7", true, 0x7},
        {"no digits", "0x", false, 0},
        {"version 1, ending with its attributes", "\1\0\1\0"s + hiddenReadOnly, true, 0x23},
        {"version 1, a byte short", "\1\0\1\0\x23\0\0"s, false, 0},
        {"version 3, ending with its valid flags", binary("\0"s, 3, allValid), false, 0},
        {"version 1, bare", binary("", 1, hiddenReadOnly + "\0\0\0\0"s), true, 0x23},
        {"version 2", binary("\0"s, 2, "\1\0\0\0"s + hiddenReadOnly), true, 0x23},
        {"version 3", binary("\0"s, 3, allValid + hiddenReadOnly), true, 0x23},
        {"version 4 with its text", binary("0x20\0"s, 4, allValid + hiddenReadOnly), true, 0x23},
        {"version 5", binary("\0"s, 5, allValid + hiddenReadOnly), true, 0x23},
        {"attributes marked not valid", binary("\0"s, 5, noneValid + hiddenReadOnly), false, 0},
        {"not valid, text kept", binary("0x2\0"s, 5, noneValid + hiddenReadOnly), true, 0x2},
        {"unknown version", binary("\0"s, 6, allValid + hiddenReadOnly), false, 0},
        {"cut short", binary("\0"s, 4, allValid), false, 0},
        {"empty", "", false, 0},
        {"not hex", "0xzz", false, 0},
    };
    for (const Case& c : cases) {
        std::uint32_t attributes = 0;
        const bool parsed = parseDosAttributes(c.value, attributes);
        EXPECT_EQ(std::pair(parsed, parsed ? attributes : 0u), std::pair(c.parsed, c.attributes))
            << c.label;
    }
}

TEST(ItemFacts, WindowsAttributesComeFromWhereTheVolumeKeepsThem) {
    using Ntfs = WindowsAttributes;
    const Ntfs samba = {std::nullopt, 0x27};
    struct Case {
        mode_t mode;
        const char* leaf;
        WindowsAttributes windows;
        bool linkToFolder;
        std::uint32_t attributes;
        std::uint64_t size;  // of 5 bytes in st_size
    } cases[] = {
        // A real scan shows files, folders and links to files; a link to a
        // folder is never a row there.
        {S_IFREG | 0444, ".a", {}, false, 0x23, 5},
        {S_IFLNK | 0777, "l", {}, true, 0x410, 0},
        {S_IFREG | 0644, "a", samba, false, 0x27, 5},
        {S_IFREG | 0644, "a", {std::nullopt, 0}, false, kAttributeNormal, 5},
        {S_IFREG | 0644, ".a", Ntfs{0x2020, std::nullopt}, false, 0x2020, 5},
        // NTFS's index flag dropped; a junction whose target is gone.
        {S_IFDIR | 0755, "d", Ntfs{0x10000010, std::nullopt}, false, 0x10, 0},
        {S_IFLNK | 0777, "j", Ntfs{0x10000410, std::nullopt}, false, 0x410, 0},
    };
    for (const Case& c : cases) {
        struct stat st {};
        st.st_mode = c.mode;
        st.st_size = 5;
        const ItemFacts facts = factsOf(st, c.leaf, c.windows, c.linkToFolder);
        EXPECT_EQ(std::pair(facts.attributes, facts.size), std::pair(c.attributes, c.size))
            << &c - cases;
    }
    EXPECT_EQ(ntfsAttributesOf("\x20\x04\0\0"s), 0x420u);
    EXPECT_EQ(ntfsAttributesOf("\x20\x04\0"s), std::nullopt);
}

TEST(ItemFacts, TimesAFileTimeCannotHoldAreNoTime) {
    constexpr std::uint64_t k1970 = 116444736000000000ULL;
    const std::pair<struct timespec, std::uint64_t> cases[] = {
        {{1614834367, 123456789}, 132593079671234567ULL},  // 2021-03-04 05:06:07.123456789
        {{-11644473600LL, 0}, 0},                          // 1601, where a FILETIME starts
        {{-11644473601LL, 999999999}, 0},
        {{9000000000000000LL, 0}, 0},
        {{-9000000000000000LL, 0}, 0},
        // The latest second whose every nanosecond still fits.
        {{910692730084LL, 999999999}, k1970 + 910692730084ULL * 10000000ULL + 9999999ULL},
        {{910692730085LL, 0}, 0},
    };
    for (const auto& [time, fileTime] : cases)
        EXPECT_EQ(fileTimeOf(time), fileTime) << time.tv_sec;
}

TEST(MountTable, EachMountIsFoundByTheLongestPointThatHoldsThePath) {
    const std::string table =
        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "35 22 0:40 / /media/usb\\040stick rw shared:1 - vfat /dev/sdb1 rw\n"
        "36 35 0:41 /sub\\040dir /media/usb\\040stick/nt rw - fuseblk /dev/sd\\040c1 rw\n"
        "broken line\n"
        "37 22 0:42 / /media/usb rw - ramfs ramfs rw\n";
    const std::vector<MountEntry> mounts = parseMountTable(table);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[1].mountPoint, "/media/usb stick");
    EXPECT_EQ(mounts[1].device, makedev(0, 40));
    // What is mounted: the source, and the folder of it (a bind mount's).
    EXPECT_EQ(std::pair(mounts[2].source, mounts[2].root),
              std::pair(std::string("/dev/sd c1"), std::string("/sub dir")));
    const std::pair<const char*, const char*> cases[] = {
        {"/home/a", "ext4"},
        {"/media/usb stick/x", "vfat"},
        {"/media/usb stick/nt/y", "fuseblk"},
        {"/media/usb stickers", "ext4"},
        {"/media/usb", "ramfs"},
    };
    for (const auto& [path, type] : cases) {
        const MountEntry* mount = mountHolding(mounts, path);
        ASSERT_NE(mount, nullptr) << path;
        EXPECT_EQ(mount->type, type) << path;
    }
}

// A mount is read through its source only where that is a disk, and a FUSE
// mount, which names its own source, only when root or the reader made it:
// anyone else could name a fifo (a scan that never ends) or another disk.
TEST(MountTable, ASourceIsReadOnlyWhenItIsADiskTheReaderMayTrust) {
    realfs::TempFolder folder("sources");
    ASSERT_TRUE(realfs::writeFile(folder.at("vol.img"), "NTFS"));
    ASSERT_EQ(mkfifo(folder.at("pipe").c_str(), 0600), 0);
    const std::string image = folder.at("vol.img");
    const struct {
        std::string type, source, options;
        bool readable;
    } cases[] = {
        {"fuse", image, "rw,user_id=0,group_id=0", true},
        {"fuse", image, "rw,user_id=1000,group_id=1000", false},
        {"fuse", image, "rw,user_id=1000,group_id=1000,allow_other", false},
        {"fuse", image, "rw", false},
        {"fuse", folder.at("pipe"), "rw,user_id=0", false},
        {"fuse", folder.path(), "rw,user_id=0", false},
        {"ntfs3", image, "rw", true},
        {"ntfs3", "ntfs", "rw", false},
    };
    for (const auto& c : cases) {
        MountEntry mount{0, "/mnt", c.type, c.source, "/", c.options};
        EXPECT_EQ(readableSource(mount, 0), c.readable) << c.source << " " << c.options;
    }
    EXPECT_TRUE(readableSource({0, "/mnt", "fuse", image, "/", "user_id=1000"}, 1000));
}

}  // namespace
}  // namespace streamscan

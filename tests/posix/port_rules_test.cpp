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

namespace streamscan {
namespace {

using namespace std::string_literals;

TEST(StreamAttributes, EveryUserAttributeButDosAttributesIsListedUnderItsOwnName) {
    struct Case {
        std::string attribute;
        const char16_t* listed;  // nullptr: not a stream
    };
    const Case cases[] = {
        {"user.Zone.Identifier", u":Zone.Identifier:$DATA"},
        {"user.DosStream.Zone.Identifier:$DATA", u":Zone.Identifier:$DATA"},
        {"user.DosStream.x:$EA", u":x:$EA"},
        // Samba-form names that do not parse are shown as what they are, never hidden.
        {"user.DosStream.:$DATA", u":DosStream.:$DATA:$DATA"},
        {"user.DosStream.x:", u":DosStream.x::$DATA"},
        {"user.DosStream.x:DATA", u":DosStream.x:DATA:$DATA"},
        {"user.DosStream.x", u":DosStream.x:$DATA"},
        {"user.a:b", u":a:b:$DATA"},
        {"user.DOSATTRIB", nullptr},
        {"user.", nullptr},
        {"security.selinux", nullptr},
        {"system.ntfs_attrib", nullptr},
        {"trusted.x", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isStreamAttribute(c.attribute), c.listed != nullptr) << c.attribute;
        if (c.listed != nullptr)
            EXPECT_EQ(listedNameOf(c.attribute), c.listed) << c.attribute;
    }
}

TEST(StreamAttributes, OnlySambasTrailingZeroByteIsLeftOutOfTheSize) {
    struct Case {
        std::string attribute;
        std::string value;
        std::size_t length;
    };
    const Case cases[] = {
        {"user.DosStream.s:$DATA", "abc\0"s, 3},
        {"user.DosStream.s:$DATA", "abc", 3},  // no zero: every byte is content
        {"user.DosStream.s:$DATA", "", 0},
        {"user.s", "abc\0"s, 4},
        {"user.DosStream.:$DATA", "abc\0"s, 4},  // not Samba's form after all
    };
    for (const Case& c : cases)
        EXPECT_EQ(streamLengthOf(c.attribute, c.value), c.length) << c.attribute << c.value;
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
        {u"a", u"b:$DATA", {"user.a:b"}},
        {u"DosStream.", u"$DATA:$DATA", {"user.DosStream.:$DATA"}},
        {u"DOSATTRIB", u"$DATA", {"user.DosStream.DOSATTRIB:$DATA"}},
        {u"", u"$DATA", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(attributesOfStream(c.name, c.type), c.attributes)
            << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
        for (const std::string& attribute : c.attributes) {
            const std::u16string listed = listedNameOf(attribute);
            EXPECT_EQ(listed.substr(1, listed.find(u':', 1) - 1), c.name) << attribute;
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
        EXPECT_EQ(parseDosAttributes(c.value, attributes), c.parsed) << c.label;
        if (c.parsed)
            EXPECT_EQ(attributes, c.attributes) << c.label;
    }
}

TEST(ItemFacts, WindowsAttributesComeFromWhereTheVolumeKeepsThem) {
    const auto statOf = [](mode_t mode, off_t size) {
        struct stat st {};
        st.st_mode = mode;
        st.st_size = size;
        return st;
    };
    struct Case {
        const char* label;
        struct stat st;
        const char* leaf;
        WindowsAttributes windows;
        bool linkToFolder;
        std::uint32_t attributes;
        std::uint64_t size;
    };
    const Case cases[] = {
        {"file", statOf(S_IFREG | 0644, 5), "a", {}, false, kAttributeArchive, 5},
        {"dot file, no write bit",
         statOf(S_IFREG | 0444, 5),
         ".a",
         {},
         false,
         kAttributeArchive | kAttributeHidden | kAttributeReadOnly,
         5},
        {"folder", statOf(S_IFDIR | 0755, 4096), "d", {}, false, kAttributeDirectory, 0},
        {"link to a folder",
         statOf(S_IFLNK | 0777, 9),
         "l",
         {},
         true,
         kAttributeDirectory | kAttributeReparsePoint,
         0},
        {"link to a file", statOf(S_IFLNK | 0777, 9), "l", {}, false, kAttributeReparsePoint, 0},
        {"Samba's bits", statOf(S_IFREG | 0644, 5), "a", {std::nullopt, 0x27}, false, 0x27, 5},
        {"Samba's plain file",
         statOf(S_IFREG | 0644, 5),
         "a",
         {std::nullopt, 0x0},
         false,
         kAttributeNormal,
         5},
        {"NTFS bits", statOf(S_IFREG | 0644, 5), ".a", {0x2020, std::nullopt}, false, 0x2020, 5},
        {"NTFS folder index flags",
         statOf(S_IFDIR | 0755, 0),
         "d",
         {0x10000010, std::nullopt},
         false,
         kAttributeDirectory,
         0},
        // A junction whose target is gone is still a folder link.
        {"dangling junction",
         statOf(S_IFLNK | 0777, 9),
         "j",
         {0x10000410, std::nullopt},
         false,
         kAttributeDirectory | kAttributeReparsePoint,
         0},
    };
    for (const Case& c : cases) {
        const ItemFacts facts = factsOf(c.st, c.leaf, c.windows, c.linkToFolder);
        EXPECT_EQ(facts.attributes, c.attributes) << c.label;
        EXPECT_EQ(facts.size, c.size) << c.label;
    }
    EXPECT_EQ(ntfsAttributesOf("\x20\x04\0\0"s), 0x420u);
    EXPECT_EQ(ntfsAttributesOf("\x20\x04\0"s), std::nullopt);
}

TEST(MountTable, EachMountIsFoundByTheLongestPointThatHoldsThePath) {
    const std::string table =
        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "35 22 0:40 / /media/usb\\040stick rw shared:1 - vfat /dev/sdb1 rw\n"
        "36 35 0:41 / /media/usb\\040stick/nt rw - fuseblk /dev/sdc1 rw\n"
        "broken line\n"
        "37 22 0:42 / /media/usb rw - ramfs ramfs rw\n";
    const std::vector<MountEntry> mounts = parseMountTable(table);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[1].mountPoint, "/media/usb stick");
    EXPECT_EQ(mounts[1].device, makedev(0, 40));
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
    EXPECT_TRUE(keepsNtfsAttributes("fuseblk"));
    EXPECT_FALSE(keepsNtfsAttributes("fuse.fusefat"));
}

}  // namespace
}  // namespace streamscan

// The one-pass index built from file records the test writes byte by byte:
// which name an item is listed under, which folder it lands in, and what
// becomes of items whose folder is gone or whose parent references loop.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/image/volume_index.h"

namespace streamscan {
namespace {

constexpr std::size_t kRecordSize = 1024;
constexpr std::uint16_t kInUse = 1;
constexpr std::uint16_t kFolder = 2;

void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t reference(std::uint64_t entry, std::uint16_t sequence) {
    return entry | std::uint64_t{sequence} << 48;
}

struct Attr {
    std::uint32_t type;
    std::vector<std::uint8_t> value;
    std::u16string name;
    std::uint16_t id = 0;
};

Attr fileName(std::uint64_t parent, const std::u16string& name, std::uint8_t space = 1,
              std::uint64_t modified = 0) {
    std::vector<std::uint8_t> value(0x42 + 2 * name.size());
    put(value, 0x00, parent, 8);
    put(value, 0x10, modified, 8);
    value[0x40] = static_cast<std::uint8_t>(name.size());
    value[0x41] = space;
    for (std::size_t i = 0; i < name.size(); ++i)
        put(value, 0x42 + 2 * i, name[i], 2);
    return {mft::kTypeFileName, value};
}

Attr standard(std::uint64_t created, std::uint32_t flags) {
    std::vector<std::uint8_t> value(0x48);
    put(value, 0x00, created, 8);
    put(value, 0x20, flags, 4);
    return {mft::kTypeStandardInformation, value};
}

Attr data(const std::u16string& name, const std::string& content, std::uint16_t id) {
    return {mft::kTypeData, std::vector<std::uint8_t>(content.begin(), content.end()), name, id};
}

Attr attributeList(const std::vector<std::uint64_t>& records) {
    std::vector<std::uint8_t> value;
    for (const std::uint64_t record : records) {
        std::vector<std::uint8_t> entry(0x20);
        put(entry, 0x00, mft::kTypeData, 4);
        put(entry, 0x04, 0x20, 2);
        entry[0x07] = 0x1A;
        put(entry, 0x10, record, 8);
        value.insert(value.end(), entry.begin(), entry.end());
    }
    return {mft::kTypeAttributeList, value};
}

// A file record with resident attributes and its update-sequence fixups.
std::vector<std::uint8_t> record(std::uint16_t sequence, std::uint16_t flags,
                                 const std::vector<Attr>& attributes, std::uint64_t base = 0) {
    std::vector<std::uint8_t> bytes(kRecordSize);
    std::memcpy(bytes.data(), "FILE", 4);
    put(bytes, 0x04, 0x30, 2);  // the update sequence: its number, then one saved pair per sector
    put(bytes, 0x06, 3, 2);
    put(bytes, 0x10, sequence, 2);
    put(bytes, 0x14, 0x38, 2);
    put(bytes, 0x16, flags, 2);
    put(bytes, 0x1C, kRecordSize, 4);
    put(bytes, 0x20, base, 8);
    std::size_t at = 0x38;
    for (const Attr& a : attributes) {
        const std::size_t valueAt = 0x18 + ((2 * a.name.size() + 7) & ~std::size_t{7});
        const std::size_t length = (valueAt + a.value.size() + 7) & ~std::size_t{7};
        put(bytes, at, a.type, 4);
        put(bytes, at + 4, length, 4);
        bytes[at + 9] = static_cast<std::uint8_t>(a.name.size());
        put(bytes, at + 0x0A, 0x18, 2);
        put(bytes, at + 0x0E, a.id, 2);
        put(bytes, at + 0x10, a.value.size(), 4);
        put(bytes, at + 0x14, valueAt, 2);
        for (std::size_t i = 0; i < a.name.size(); ++i)
            put(bytes, at + 0x18 + 2 * i, a.name[i], 2);
        std::memcpy(&bytes[at + valueAt], a.value.data(), a.value.size());
        at += length;
    }
    put(bytes, at, 0xFFFFFFFF, 4);
    put(bytes, 0x18, at + 8, 4);
    put(bytes, 0x30, 7, 2);
    for (std::size_t sector = 1; sector <= 2; ++sector) {
        std::memcpy(&bytes[0x30 + 2 * sector], &bytes[sector * 512 - 2], 2);
        put(bytes, sector * 512 - 2, 7, 2);
    }
    return bytes;
}

struct Volume {
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> records{
        {kRootRecord, record(5, kInUse | kFolder, {fileName(reference(5, 5), u".")})}};

    void add(std::uint64_t entry, std::vector<std::uint8_t> bytes) {
        records.emplace_back(entry, std::move(bytes));
    }
    std::unique_ptr<VolumeIndex> index(bool includeDeleted = false) {
        IndexBuilder builder(includeDeleted);
        for (auto [entry, bytes] : records)  // copies: fixups are applied in place
            builder.add(entry, bytes, true);
        return builder.finish();
    }
};

// The names a folder lists, in order, with "!" after a deleted one.
std::vector<std::u16string> namesIn(const VolumeIndex& index, std::uint32_t folder) {
    std::vector<std::u16string> names;
    const IndexedItem& item = index.itemOf(folder);
    for (std::uint32_t e = item.firstChild; e < item.firstChild + item.childCount; ++e)
        names.push_back(std::u16string(index.nameOf(e)) + (index.entry(e).deleted ? u"!" : u""));
    return names;
}

// The names of an item's streams, in order.
std::vector<std::u16string> streamsOf(const VolumeIndex& index, const IndexedItem& item) {
    std::vector<std::u16string> names;
    for (const IndexedStream& stream : index.streamsOf(item))
        names.emplace_back(index.text(stream.name));
    return names;
}

std::uint32_t at(const VolumeIndex& index, std::initializer_list<std::u16string_view> path) {
    std::uint32_t entry = 0;
    for (const std::u16string_view step : path) {
        const auto found = index.child(entry, step);
        EXPECT_TRUE(found.has_value()) << std::string(step.begin(), step.end());
        entry = found.value_or(0);
    }
    return entry;
}

TEST(MftIndex, ListsEachLongNameInItsFolderAndNeverTheShortOne) {
    Volume volume;
    volume.add(30, record(1, kInUse | kFolder, {fileName(reference(5, 5), u"Docs")}));
    volume.add(31, record(4, kInUse,
                          {standard(111, 0x21), fileName(reference(30, 1), u"LONGNA~1.TXT", 2),
                           fileName(reference(30, 1), u"Long name.txt", 1, 222),
                           fileName(reference(5, 5), u"link.txt", 0), data(u"", "abc", 0),
                           data(u"Zone.Identifier", "[ZoneTransfer]", 3)}));
    // A name whose folder reference is of an earlier item in that record is no path.
    volume.add(32, record(1, kInUse, {fileName(reference(30, 9), u"stale.txt")}));
    const auto index = volume.index();
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(namesIn(*index, 0),
              (std::vector<std::u16string>{u"$OrphanFiles", u"Docs", u"link.txt"}));
    const std::uint32_t file = at(*index, {u"Docs", u"Long name.txt"});
    EXPECT_EQ(namesIn(*index, at(*index, {u"Docs"})),
              std::vector<std::u16string>{u"Long name.txt"});
    const IndexedItem& item = index->itemOf(file);
    EXPECT_EQ(std::pair(item.entry, item.sequence), std::pair(std::uint64_t{31}, std::uint16_t{4}));
    EXPECT_EQ(std::pair(item.standard.times.created, item.standard.flags),
              std::pair(std::uint64_t{111}, std::uint32_t{0x21}));
    EXPECT_EQ(index->entry(file).nameTimes.modified, 222u);
    EXPECT_EQ(streamsOf(*index, item), (std::vector<std::u16string>{u"", u"Zone.Identifier"}));
    const IndexedStream& zone = index->streamsOf(item)[1];
    EXPECT_EQ(std::pair(zone.size, zone.id), std::pair(std::uint64_t{14}, std::uint16_t{3}));
    EXPECT_EQ(index->itemOf(at(*index, {u"link.txt"})).entry, 31u);  // a hard link: the same item
    EXPECT_EQ(namesIn(*index, at(*index, {u"$OrphanFiles"})),
              std::vector<std::u16string>{u"stale.txt"});
    EXPECT_EQ(index->orphans, 1u);
}

TEST(MftIndex, JoinsExtensionRecordsThatNameTheirBase) {
    Volume volume;
    volume.add(40, record(2, kInUse,
                          {fileName(reference(5, 5), u"many.txt"), attributeList({40, 41, 42}),
                           data(u"", "x", 0)}));
    volume.add(41, record(1, kInUse, {data(u"b", "22", 5)}, reference(40, 2)));
    // Of an earlier item that had record 40: not this one's.
    volume.add(42, record(1, kInUse, {data(u"a", "1", 4)}, reference(40, 1)));
    auto index = volume.index();
    const IndexedItem& item = index->itemOf(at(*index, {u"many.txt"}));
    EXPECT_EQ(streamsOf(*index, item), (std::vector<std::u16string>{u"", u"b"}));
    EXPECT_FALSE(item.streamsWhole);  // record 42 is named by the list but was not joined

    volume.records.pop_back();
    volume.add(42, record(1, kInUse, {data(u"a", "1", 4)}, reference(40, 2)));
    index = volume.index();
    const IndexedItem& whole = index->itemOf(at(*index, {u"many.txt"}));
    EXPECT_TRUE(whole.streamsWhole);
    // In the order a single record would hold them.
    EXPECT_EQ(streamsOf(*index, whole), (std::vector<std::u16string>{u"", u"a", u"b"}));
}

TEST(MftIndex, PlacesItemsWhoseParentsLoopUnderOrphanFilesOnce) {
    Volume volume;
    // 50 and 51 are each other's folder; 52 sits in 51; 53 names itself.
    volume.add(50, record(1, kInUse | kFolder, {fileName(reference(51, 1), u"a")}));
    volume.add(51, record(1, kInUse | kFolder, {fileName(reference(50, 1), u"b")}));
    volume.add(52, record(1, kInUse, {fileName(reference(51, 1), u"inside.txt")}));
    volume.add(53, record(1, kInUse | kFolder, {fileName(reference(53, 1), u"self")}));
    // Its folder is gone, and another orphan has its name.
    volume.add(54, record(1, kInUse, {fileName(reference(99, 1), u"self")}));
    const auto index = volume.index();
    // The loop is cut where climbing it comes back: b is its top.
    EXPECT_EQ(namesIn(*index, at(*index, {u"$OrphanFiles"})),
              (std::vector<std::u16string>{u"b", u"self", u"self (record 54)"}));
    EXPECT_EQ(index->itemOf(at(*index, {u"$OrphanFiles", u"b", u"inside.txt"})).entry, 52u);
    // a still lists b, the folder the walk entered first; the walk refuses to
    // list a folder a second time.
    EXPECT_EQ(index->itemOf(at(*index, {u"$OrphanFiles", u"b", u"a", u"b"})).entry, 51u);
    EXPECT_EQ(index->orphans, 3u);
}

TEST(MftIndex, DeletedRecordsAreItemsOnlyWhenAskedAndNeverTakeALiveName) {
    Volume volume;
    volume.add(60, record(1, kInUse | kFolder, {fileName(reference(5, 5), u"sub")}));
    volume.add(61, record(3, kInUse, {fileName(reference(60, 1), u"notes.txt")}));
    volume.add(62, record(2, 0, {fileName(reference(60, 1), u"notes.txt")}));
    volume.add(63, record(2, kFolder, {fileName(reference(5, 5), u"old")}));
    volume.add(64, record(2, 0, {fileName(reference(63, 1), u"in-old.txt")}));
    // The same live name twice is damage: the first is listed.
    volume.add(65, record(1, kInUse, {fileName(reference(60, 1), u"twice")}));
    volume.add(66, record(1, kInUse, {fileName(reference(60, 1), u"twice")}));
    const auto live = volume.index(false);
    EXPECT_EQ(namesIn(*live, at(*live, {u"sub"})),
              (std::vector<std::u16string>{u"notes.txt", u"twice"}));
    EXPECT_TRUE(live->itemOf(at(*live, {u"sub"})).namesTwice);
    EXPECT_FALSE(live->child(0, u"old").has_value());

    const auto all = volume.index(true);
    EXPECT_EQ(
        namesIn(*all, at(*all, {u"sub"})),
        (std::vector<std::u16string>{u"notes.txt", u"notes.txt (deleted, record 62)!", u"twice"}));
    EXPECT_EQ(namesIn(*all, at(*all, {u"old"})), std::vector<std::u16string>{u"in-old.txt!"});
    EXPECT_EQ(all->orphans, 0u);
}

TEST(MftIndex, BytesThatAreNoRecordAreDamageOnlyWhereTheVolumeSaysARecordIs) {
    IndexBuilder builder(false);
    std::vector<std::uint8_t> root = record(5, kInUse | kFolder, {fileName(reference(5, 5), u".")});
    builder.add(kRootRecord, root, true);
    std::vector<std::uint8_t> torn = record(1, kInUse, {fileName(reference(5, 5), u"torn")});
    torn[1022] ^= 1;  // the second sector was not written with the first
    builder.add(70, torn, true);
    std::vector<std::uint8_t> zeros(kRecordSize);
    builder.add(71, zeros, true);
    builder.add(72, zeros, false);
    const auto index = builder.finish();
    EXPECT_EQ(index->damagedRecords, 2u);
    EXPECT_EQ(index->itemOf(0).childCount, 0u);
}

}  // namespace
}  // namespace streamscan

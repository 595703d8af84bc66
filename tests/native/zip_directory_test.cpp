#include "engine/zip_directory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/zip_maker.h"

using namespace tamsel;
using ziptest::Bytes;
using ziptest::Item;

namespace {

ReadAt Over(const Bytes& file) {
    return [&file](uint64_t offset, void* out, size_t n) {
        if (offset > file.size() || n > file.size() - offset) return false;
        std::memcpy(out, file.data() + offset, n);
        return true;
    };
}

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 5));
    return b;
}

}  // namespace

// Stored and deflated entries, a sub-folder, UTF-8 and code-page names, in the
// plain and the ZIP64 end records: listed in order and read back exactly.
TEST(ZipDirectory, ListsAndReadsEveryEntryKind) {
    const std::vector<Item> items = {
        {"001.jpg", Pattern(5000, 1), false},
        {"sub/", {}, false},
        {"sub/002.png", Pattern(70000, 2), true},
        {"\xE7\x94\xBB\xE5\x83\x8F.bmp", Pattern(10, 3), true, true},  // UTF-8 "画像"
        {"\x89\xE6\x91\x9C.gif", {}, true},                              // CP932 "画像"
    };
    for (bool zip64 : {false, true}) {
        SCOPED_TRACE(zip64 ? "zip64" : "plain");
        const Bytes zip = ziptest::Make(items, zip64);
        EXPECT_TRUE(LooksLikeZip(zip.data(), zip.size()));
        std::vector<ZipEntry> entries;
        ASSERT_TRUE(ReadZipDirectory(Over(zip), zip.size(), entries));
        ASSERT_EQ(entries.size(), items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(entries[i].name, items[i].name);
            EXPECT_EQ(entries[i].utf8, items[i].utf8);
            EXPECT_EQ(entries[i].folder, items[i].name.back() == '/');
            Bytes data;
            EXPECT_EQ(ReadZipEntry(Over(zip), zip.size(), entries[i], data), ZipRead::Ok) << i;
            EXPECT_EQ(data, items[i].data) << i;
        }
    }
}

// Entries that must not be read, each with its reason, and nothing handed out.
TEST(ZipDirectory, RefusesEntriesThatLieOrExplode) {
    Item encrypted{"e.jpg", Pattern(100, 4)};
    encrypted.encrypted = true;
    Item bomb{"bomb.bmp", Bytes(4 << 20, 0)};  // 4 MB of zeros packs to about 4 KB: over 1000 times
    Item longer{"longer.jpg", Pattern(3000, 5)};
    longer.claimedSize = 2000;  // the stream holds more than declared
    Item shorter{"shorter.jpg", Pattern(3000, 6)};
    shorter.claimedSize = 4000;
    Item huge{"huge.jpg", Pattern(10, 7), false};
    huge.claimedSize = 0x7FFFFFFF;
    Item damaged{"damaged.jpg", Pattern(3000, 8)};
    damaged.corrupt = true;
    Item wrongCrc{"crc.jpg", Pattern(300, 9), false};
    wrongCrc.claimedCrc = 12345;
    const std::pair<Item, ZipRead> cases[] = {{encrypted, ZipRead::Encrypted}, {bomb, ZipRead::TooLarge},
                                              {longer, ZipRead::Corrupt},      {shorter, ZipRead::Corrupt},
                                              {huge, ZipRead::TooLarge},       {damaged, ZipRead::Corrupt},
                                              {wrongCrc, ZipRead::Corrupt}};
    for (const auto& [item, why] : cases) {
        SCOPED_TRACE(item.name);
        const Bytes zip = ziptest::Make({item});
        std::vector<ZipEntry> entries;
        ASSERT_TRUE(ReadZipDirectory(Over(zip), zip.size(), entries));
        ASSERT_EQ(entries.size(), 1u);
        Bytes data;
        EXPECT_EQ(ReadZipEntry(Over(zip), zip.size(), entries[0], data), why);
        EXPECT_TRUE(data.empty());
    }
    // A method no reader knows.
    Bytes zip = ziptest::Make({{"m.jpg", Pattern(10, 1), false}});
    std::vector<ZipEntry> entries;
    ASSERT_TRUE(ReadZipDirectory(Over(zip), zip.size(), entries));
    entries[0].method = 12;
    Bytes data;
    EXPECT_EQ(ReadZipEntry(Over(zip), zip.size(), entries[0], data), ZipRead::Unsupported);
}

// A directory that points past the end, every truncation of an archive, an
// entry whose local header lies past the end, and more entries than are listed.
TEST(ZipDirectory, HostileDirectoriesFailCleanly) {
    const Bytes good = ziptest::Make({{"a.jpg", Pattern(400, 1)}, {"b.jpg", Pattern(400, 2), false}});
    std::vector<ZipEntry> entries;
    Bytes outside = good;
    ziptest::Bytes field;
    ziptest::Put32(field, static_cast<uint32_t>(good.size()));
    std::memcpy(&outside[ziptest::DirectoryOffsetField(outside)], field.data(), 4);
    EXPECT_FALSE(ReadZipDirectory(Over(outside), outside.size(), entries));
    for (size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(n));
        if (!ReadZipDirectory(Over(cut), cut.size(), entries)) continue;
        for (const ZipEntry& e : entries) {
            Bytes data;
            ReadZipEntry(Over(cut), cut.size(), e, data);  // any answer but a crash
        }
    }
    ASSERT_TRUE(ReadZipDirectory(Over(good), good.size(), entries));
    entries[1].localOffset = good.size() - 10;
    Bytes data;
    EXPECT_EQ(ReadZipEntry(Over(good), good.size(), entries[1], data), ZipRead::Corrupt);

    std::vector<Item> many(kZipMostEntries + 5);
    for (size_t i = 0; i < many.size(); ++i) many[i] = {std::to_string(i), {}, false};
    const Bytes big = ziptest::Make(many, true);
    ASSERT_TRUE(ReadZipDirectory(Over(big), big.size(), entries));
    EXPECT_EQ(entries.size(), kZipMostEntries);
    EXPECT_EQ(entries.back().name, std::to_string(kZipMostEntries - 1));
}

TEST(ZipDirectory, OnlySafeNamesBuildPaths) {
    for (const wchar_t* ok : {L"a.jpg", L"sub\\b.jpg", L"sub/c d.jpg", L"sub/", L"\u753B\u50CF.png", L"con2.jpg",
                              L"x..y.jpg", L"com10.jpg"})
        EXPECT_TRUE(SafeArchivePath(ok)) << ok;
    for (const wchar_t* bad : {L"", L"../a.jpg", L"sub/../../a.jpg", L"..\\a.jpg", L"/etc/a.jpg", L"\\a.jpg",
                               L"C:\\a.jpg", L"c:a.jpg", L"sub//a.jpg", L"./a.jpg", L"CON", L"nul.jpg", L"sub/Com1.png",
                               L"lpt9", L"a.jpg.", L"a.jpg ", L"a\x01.jpg", L"a?.jpg", L"\\\\server\\share\\a.jpg"})
        EXPECT_FALSE(SafeArchivePath(bad)) << bad;
}

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "pluginhost/susie/plugin_formats.h"
#include "pluginhost/susie/susie_records.h"

using namespace quillmount;

namespace {

std::vector<uint8_t> Header(uint32_t size, int32_t w, int32_t h, uint16_t bits, uint32_t compression = 0,
                            uint32_t used = 0, size_t tableBytes = 0) {
    std::vector<uint8_t> b(std::max<size_t>(size, 40) + tableBytes, 0);
    std::memcpy(&b[0], &size, 4);
    std::memcpy(&b[4], &w, 4);
    std::memcpy(&b[8], &h, 4);
    const uint16_t planes = 1;
    std::memcpy(&b[12], &planes, 2);
    std::memcpy(&b[14], &bits, 2);
    std::memcpy(&b[16], &compression, 4);
    std::memcpy(&b[32], &used, 4);
    return b;
}

DibCheck Check(const std::vector<uint8_t>& header, size_t pixels, DibLayout* out = nullptr) {
    DibLayout l;
    DibCheck r = CheckDib(header.data(), header.size(), pixels, l);
    if (out) *out = l;
    return r;
}

}  // namespace

TEST(PluginText, StopsAtTheFirstNulOrTheBufferEnd) {
    const char a[6] = {'a', 'b', 0, 'c', 'd', 'e'};
    EXPECT_EQ(TextWithin(a, 6), "ab");
    const char full[4] = {'w', 'x', 'y', 'z'};  // no NUL at all
    EXPECT_EQ(TextWithin(full, 4), "wxyz");
    EXPECT_EQ(TextWithin(full, 0), "");
}

TEST(PluginDescriptionTest, VersionsStringsAndPairs) {
    EXPECT_TRUE(MatchesVersion("00IN", "IN"));
    EXPECT_TRUE(MatchesVersion("xyAM", "AM"));
    EXPECT_FALSE(MatchesVersion("00in", "IN"));
    EXPECT_FALSE(MatchesVersion("00INX", "IN"));
    EXPECT_FALSE(MatchesVersion("0IN", "IN"));

    EXPECT_FALSE(Describe({"00IN", "three strings", "*.abc"}).has_value());
    auto five = Describe({"00IN", "Picture", "*.qoi", "QOI files", "*.dropped"});
    ASSERT_TRUE(five.has_value());
    EXPECT_TRUE(five->isPicture);
    EXPECT_FALSE(five->isArchive);
    EXPECT_EQ(five->filters, (std::vector<std::string>{"*.qoi"}));
    EXPECT_EQ(five->descriptions, (std::vector<std::string>{"QOI files"}));
    auto archive = Describe({"00AM", "Tar", "*.tar", "TAR", "*.tgz", "gzipped TAR"});
    ASSERT_TRUE(archive.has_value());
    EXPECT_TRUE(archive->isArchive);
    EXPECT_EQ(archive->filters.size(), 2u);
    EXPECT_FALSE(Describe({"00INX", "n", "*.a", "A"}).has_value());
}

TEST(PluginFilter, FirstFiltersJoinWithSemicolonsBeforeEveryStar) {
    EXPECT_EQ(CombinedFilter({"*.png", "*.jpg;*.jpeg"}), "*.png;*.jpg;*.jpeg");
    EXPECT_EQ(CombinedFilter({"*.jpg; *.jpeg"}), "*.jpg ;*.jpeg");
    EXPECT_EQ(CombinedFilter({"abc"}), "bc");
    EXPECT_EQ(CombinedFilter({}), "");
    EXPECT_EQ(CombinedFilter({";;"}), "");
}

TEST(PluginRecords, PictureInformationInEachLayout) {
    PictureInfo32 r32{};
    r32.width = 640;
    r32.height = -480;
    r32.colorDepth = 24;
    r32.textHandle = 0x12345678;
    PictureInfo i = ReadPictureInfo(reinterpret_cast<const uint8_t*>(&r32), Abi::Spi32);
    EXPECT_EQ(i.width, 640);
    EXPECT_EQ(i.height, -480);
    EXPECT_EQ(i.colorDepth, 24);
    EXPECT_EQ(i.textHandle, 0x12345678u);

    PictureInfo64 r64{};
    r64.width = 100;
    r64.height = 100;
    r64.colorDepth = 8;
    r64.textHandle = 0x0000123400005678ull;
    i = ReadPictureInfo(reinterpret_cast<const uint8_t*>(&r64), Abi::Sph64);
    EXPECT_EQ(i.width, 100);
    EXPECT_EQ(i.textHandle, 0x0000123400005678ull);

    // Packed at 22 by some plug-ins: bytes 22 and 23 are no longer zero.
    uint8_t packed[32] = {};
    const uint64_t h = 0x00000000ABCD0042ull;
    std::memcpy(packed + 22, &h, 8);
    EXPECT_EQ(ReadPictureInfo(packed, Abi::Sph64).textHandle, h);
    EXPECT_EQ(PictureInfoSize(Abi::Spi32), 28u);
    EXPECT_EQ(PictureInfoSize(Abi::Sph64), 32u);
}

TEST(PluginRecords, ArchiveListingsReadEveryWholeRecordWithinItsBuffers) {
    std::vector<uint8_t> block(3 * sizeof(ArchiveEntry32) + 100, 0);
    ArchiveEntry32 e{};
    e.position = 512;
    e.fileSize = 1234;
    std::strcpy(e.path, "dir\\sub\\");
    std::memset(e.fileName, 'x', sizeof e.fileName);  // no NUL: read to the field's end
    std::memcpy(block.data(), &e, sizeof e);
    ArchiveEntry32 f{};
    f.position = 4096;
    std::strcpy(f.fileName, "pic.ppm");
    std::memcpy(block.data() + sizeof e, &f, sizeof f);
    auto list = ReadArchiveList(block.data(), block.size(), Abi::Spi32);
    ASSERT_EQ(list.size(), 3u);  // the closing record too; its names are empty
    EXPECT_EQ(list[0].path, "dir\\sub\\");
    EXPECT_EQ(list[0].fileName, std::string(200, 'x'));
    EXPECT_EQ(list[0].fileSize, 1234u);
    EXPECT_EQ(list[1].position, 4096u);
    EXPECT_EQ(list[2].fileName, "");

    ArchiveEntry64 g{};
    g.position = 0x100000000ull;
    g.fileSize = 77;
    std::strcpy(g.fileName, "a.qoi");
    auto list64 = ReadArchiveList(reinterpret_cast<const uint8_t*>(&g), sizeof g, Abi::Sph64);
    ASSERT_EQ(list64.size(), 1u);
    EXPECT_EQ(list64[0].position, 0x100000000ull);
    EXPECT_EQ(list64[0].fileName, "a.qoi");
    EXPECT_TRUE(ReadArchiveList(nullptr, 0, Abi::Sph64).empty());
}

TEST(PluginDib, RowLengthsColourTablesAndTheBlocksSizes) {
    DibLayout l;
    EXPECT_EQ(Check(Header(40, 3, 2, 24), 24, &l), DibCheck::Ok);
    EXPECT_EQ(l.rowLength, 12u);
    EXPECT_EQ(l.pixelBytes, 24u);
    EXPECT_EQ(l.colors, 0u);
    EXPECT_EQ(Check(Header(40, 33, -1, 1, 0, 0, 8), 8, &l), DibCheck::Ok);
    EXPECT_EQ(l.rowLength, 8u);
    EXPECT_EQ(l.colors, 2u);
    EXPECT_EQ(Check(Header(40, 4, 4, 8, 0, 0, 1024), 16, &l), DibCheck::Ok);
    EXPECT_EQ(l.colors, 256u);
    EXPECT_EQ(Check(Header(40, 4, 4, 8, 0, 16, 64), 16, &l), DibCheck::Ok);
    EXPECT_EQ(l.colors, 16u);
    EXPECT_EQ(Check(Header(124, 5, 1, 32), 20, &l), DibCheck::Ok);
    EXPECT_EQ(Check(Header(108, 5, 1, 16), 12, &l), DibCheck::Ok);

    EXPECT_EQ(Check(Header(40, 4, 4, 8, 0, 0, 1020), 16), DibCheck::NoPicture);  // table cut short
    EXPECT_EQ(Check(Header(40, 3, 2, 24), 23), DibCheck::NoPicture);             // pixels cut short
    EXPECT_EQ(Check(Header(12, 3, 2, 24), 24), DibCheck::NoPicture);             // old core header
    EXPECT_EQ(Check(Header(40, 3, 2, 16, 3), 24), DibCheck::NoPicture);          // bit fields
    EXPECT_EQ(Check(Header(40, 3, 2, 32, 3), 24), DibCheck::NoPicture);
    EXPECT_EQ(Check(Header(40, -3, 2, 24), 24), DibCheck::NoPicture);
    EXPECT_EQ(Check(Header(40, 3, 0, 24), 24), DibCheck::NoPicture);
    EXPECT_EQ(Check(Header(40, 3, 2, 12), 24), DibCheck::NoPicture);
    EXPECT_EQ(Check(Header(40, 4, 4, 8, 0, 300, 1200), 16), DibCheck::NoPicture);  // more colours than 8 bits hold
    auto h = Header(40, 3, 2, 24);
    EXPECT_EQ(CheckDib(h.data(), 39, 24, l), DibCheck::NoPicture);  // header block smaller than the header
    EXPECT_EQ(CheckDib(h.data(), 3, 24, l), DibCheck::NoPicture);
    EXPECT_EQ(CheckDib(nullptr, 40, 24, l), DibCheck::NoPicture);
}

TEST(PluginDib, SizesBeyondThirtyTwoBitsAreOverflowsNotWrongCopies) {
    const int32_t big = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(Check(Header(40, big, 1, 24), SIZE_MAX), DibCheck::Overflow);
    EXPECT_EQ(Check(Header(40, 70000, 70000, 24), SIZE_MAX), DibCheck::Overflow);
    EXPECT_EQ(Check(Header(40, 16, std::numeric_limits<int32_t>::min(), 32), SIZE_MAX), DibCheck::Overflow);
    EXPECT_EQ(Check(Header(40, big, 1, 1, 0, 0, 8), SIZE_MAX), DibCheck::Ok);  // 1-bit rows of 2^31 pixels fit
}

TEST(BitmapFile, OnlyFilesHoldingWhatTheirHeadersPromiseGoToThePlatform) {
    // 3 x 2, 24-bit: 54 bytes of headers, rows of 12 bytes.
    std::vector<uint8_t> f(54 + 24, 0);
    f[0] = 'B', f[1] = 'M';
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&f[at], &v, 2); };
    put32(10, 54);
    put32(14, 40);
    put32(18, 3);
    put32(22, 2);
    put16(26, 1);
    put16(28, 24);
    EXPECT_TRUE(BitmapFileIsWhole(f.data(), f.size(), f.size()));
    EXPECT_FALSE(BitmapFileIsWhole(f.data(), f.size(), f.size() - 1));  // cut short
    put32(10, 0x7FFFFFF0);
    EXPECT_FALSE(BitmapFileIsWhole(f.data(), f.size(), f.size()));  // pixels far beyond the file
    put32(10, 54);
    put32(22, 65535);
    EXPECT_FALSE(BitmapFileIsWhole(f.data(), f.size(), f.size()));
    put32(22, static_cast<uint32_t>(-2));  // top-down is fine
    EXPECT_TRUE(BitmapFileIsWhole(f.data(), f.size(), f.size()));
    put32(30, 1);  // run-length coding needs 8 bits and a stored size
    EXPECT_FALSE(BitmapFileIsWhole(f.data(), f.size(), f.size()));
    put32(30, 0);
    put16(28, 12);
    EXPECT_FALSE(BitmapFileIsWhole(f.data(), f.size(), f.size()));
    EXPECT_FALSE(BitmapFileIsWhole(f.data(), 20, f.size()));
}

// What the control reads of a host process's answers: whatever the host
// wrote, reads stay inside the area and nonsense is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pluginhost/host/host_protocol.h"

using namespace quillmount::host;

namespace {

std::vector<uint8_t> Encode(const LoadReply& reply) {
    std::vector<uint8_t> area(4096);
    Writer w(area.data(), area.size());
    WriteLoadReply(w, reply);
    EXPECT_TRUE(w.Fits());
    area.resize(w.Used());
    return area;
}

}  // namespace

TEST(HostProtocol, RequestsAndRepliesComeBackAsWritten) {
    std::vector<uint8_t> area(4096);
    Writer w(area.data(), area.size());
    WriteLoadRequest(w, u"C:\\絵\\a.ppm", {u"C:\\spi\\pnm.sph", u"C:\\spi\\tar.sph"});
    Reader r(area.data(), w.Used());
    std::u16string file;
    std::vector<std::u16string> modules;
    ASSERT_TRUE(ReadLoadRequest(r, file, modules));
    EXPECT_EQ(file, u"C:\\絵\\a.ppm");
    EXPECT_EQ(modules, (std::vector<std::u16string>{u"C:\\spi\\pnm.sph", u"C:\\spi\\tar.sph"}));

    LoadReply picture;
    picture.winner = 1;
    picture.picture = true;
    picture.width = 3, picture.height = -2, picture.depth = 24;
    picture.text = u"夕焼け";
    picture.headerBytes = 40, picture.pixelOffset = PixelOffsetFor(40), picture.pixelBytes = 24;
    const std::vector<uint8_t> bytes = Encode(picture);
    Reader pr(bytes.data(), bytes.size());
    LoadReply back;
    ASSERT_TRUE(ReadLoadReply(pr, 2, back));
    EXPECT_EQ(back.winner, 1);
    EXPECT_EQ(back.text, u"夕焼け");
    EXPECT_EQ(back.pixelOffset, 48u);
    EXPECT_TRUE(PictureFits(back, 48 + 24));
    EXPECT_FALSE(PictureFits(back, 48 + 23));

    std::vector<std::optional<Description>> described(2);
    described[1] = Description{u"00IN", u"PNM", {u"*.ppm"}, {u"PNM pictures"}, true, false};
    Writer dw(area.data(), area.size());
    WriteDescribeReply(dw, described);
    Reader dr(area.data(), dw.Used());
    std::vector<std::optional<Description>> read;
    ASSERT_TRUE(ReadDescribeReply(dr, 2, read));
    EXPECT_FALSE(read[0]);
    ASSERT_TRUE(read[1]);
    EXPECT_EQ(read[1]->filters, std::vector<std::u16string>{u"*.ppm"});
    Reader again(area.data(), dw.Used());
    EXPECT_FALSE(ReadDescribeReply(again, 3, read));  // more answers than were written

    // Picture text of any length, as a plug-in in this process may hand over.
    LoadReply wordy = picture;
    wordy.text = std::u16string(300000, u'字');
    std::vector<uint8_t> big(wordy.text.size() * 2 + 4096);
    Writer bw(big.data(), big.size());
    WriteLoadReply(bw, wordy);
    ASSERT_TRUE(bw.Fits());
    Reader br(big.data(), bw.Used());
    ASSERT_TRUE(ReadLoadReply(br, 2, back));
    EXPECT_EQ(back.text, wordy.text);
}

TEST(HostProtocol, RepliesThatCannotBeAreRefused) {
    LoadReply good;
    good.winner = 0;
    good.entries = {{u"a/b.ppm", 10}};
    std::vector<uint8_t> bytes = Encode(good);
    LoadReply out;
    {
        Reader r(bytes.data(), bytes.size());
        EXPECT_TRUE(ReadLoadReply(r, 1, out));
    }
    for (size_t cut = 0; cut < bytes.size(); ++cut) {  // every shortened answer
        Reader r(bytes.data(), cut);
        EXPECT_FALSE(ReadLoadReply(r, 1, out)) << cut;
    }
    {
        Reader r(bytes.data(), bytes.size());
        EXPECT_FALSE(ReadLoadReply(r, 0, out));  // a winner that was not asked
    }
    LoadReply both = good;
    both.picture = true;
    both.headerBytes = 40, both.pixelOffset = 48, both.pixelBytes = 4;
    bytes = Encode(both);
    {
        Reader r(bytes.data(), bytes.size());
        EXPECT_FALSE(ReadLoadReply(r, 1, out));  // a picture and a listing at once
    }
    LoadReply orphan;
    orphan.entries = {{u"x", 1}};
    bytes = Encode(orphan);
    {
        Reader r(bytes.data(), bytes.size());
        EXPECT_FALSE(ReadLoadReply(r, 1, out));  // a listing without a winner
    }
    // A count far beyond what the area holds is refused before anything is made for it.
    std::vector<uint8_t> huge(16, 0);
    const uint32_t many = 0x7FFFFFFF;
    std::memcpy(&huge[12], &many, 4);
    Reader r(huge.data(), huge.size());
    EXPECT_FALSE(ReadLoadReply(r, 1, out));
    // Entries without names, and more entries than any listing is taken with, though the area holds them.
    for (uint32_t count : {1u, kMostEntries + 1}) {
        std::vector<uint8_t> listing(16 + size_t{count} * 14, 0);
        std::memcpy(&listing[12], &count, 4);
        if (count > 1)  // each a proper entry: a one-character name and a size
            for (size_t at = 16; at < listing.size(); at += 14) listing[at] = 1, listing[at + 4] = 'a';
        Reader lr(listing.data(), listing.size());
        EXPECT_FALSE(ReadLoadReply(lr, 1, out)) << count;
    }
    // A layout whose pixels do not start where the header says they do.
    LoadReply skewed;
    skewed.picture = true;
    skewed.headerBytes = 40, skewed.pixelOffset = 40, skewed.pixelBytes = 4;
    EXPECT_FALSE(PictureFits(skewed, 1000));
    skewed.headerBytes = 0xFFFFFFF8u, skewed.pixelOffset = PixelOffsetFor(0xFFFFFFF8u);
    EXPECT_FALSE(PictureFits(skewed, ~uint64_t{0}));
}

TEST(HostProtocol, ReportsAreHeardInOrderAndTheRingKeepsTheLatest) {
    EXPECT_EQ(FirstUnheard(0, 1), 1u);
    EXPECT_EQ(FirstUnheard(5, 9), 6u);
    EXPECT_EQ(FirstUnheard(0, kReports), 1u);
    EXPECT_EQ(FirstUnheard(0, kReports + 10), 11u);  // the oldest were overwritten
    EXPECT_EQ(FirstUnheard(0xFFFFFFFEu, 3u), 0xFFFFFFFFu);  // serials wrap
}

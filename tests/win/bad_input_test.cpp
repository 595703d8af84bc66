// Bad pictures: a clear message or a silent failure, never a crash or a hang,
// and never a lost picture.
#include <gtest/gtest.h>

#include <cstring>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "test_support.h"

using namespace tamsel;
using namespace testing_support;

namespace {

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        frmBackground.Load();
        ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.bmp"), false));
    }
    void TearDown() override { ResetProgramState(); }

    // Either the file loads (and becomes current) or the failure is reported
    // and the shown picture and name stay.
    void ExpectCleanOutcome(const std::wstring& path) {
        const std::wstring nameBefore = CurrentFileName;
        IPicture* before = frmBackground.picLoad.GetPicture().get();
        MsgBoxRecorder boxes;
        bool ok = frmBackground.PictureLoadRun(path, true);
        if (ok) {
            EXPECT_EQ(CurrentFileName, path);
            EXPECT_TRUE(boxes.calls.empty());
            EXPECT_GT(frmBackground.picLoad.ScaleWidth(), 0);
        } else {
            EXPECT_EQ(CurrentFileName, nameBefore);
            EXPECT_EQ(frmBackground.picLoad.GetPicture().get(), before);
            ASSERT_EQ(boxes.calls.size(), 1u);
            EXPECT_EQ(boxes.calls[0].title, L"未対応フォーマット");
        }
    }
    void ExpectFailure(const std::wstring& path) {
        const std::wstring nameBefore = CurrentFileName;
        MsgBoxRecorder boxes;
        EXPECT_FALSE(frmBackground.PictureLoadRun(path, true)) << "loaded";
        EXPECT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(CurrentFileName, nameBefore);
        EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 7);
    }

    std::vector<uint8_t> Truncated(const std::wstring& name, size_t keep) {
        auto b = ReadBytes(DataPath(name));
        b.resize(std::min(keep, b.size()));
        return b;
    }
    TempDir dir;
};

void Put16LE(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(b.data() + at, &v, 2); }
void Put32LE(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

}  // namespace

TEST_F(BadInputTest, NoPictureAtAllFailsWithTheMessage) {
    WriteBytes(dir / L"zero.jpg", {});
    WriteBytes(dir / L"text.gif", {'G', 'I', 'F', '?', ' ', 't', 'e', 'x', 't'});
    CreateDirectoryW((dir / L"folder.bmp").c_str(), nullptr);
    ExpectFailure(dir / L"zero.jpg");
    ExpectFailure(dir / L"text.gif");
    ExpectFailure(dir / L"folder.bmp");
    ExpectFailure(dir / L"missing.bmp");
}

TEST_F(BadInputTest, TruncatedAndCorruptFilesLoadPartlyOrFailCleanly) {
    WriteBytes(dir / L"cut.jpg", Truncated(L"sample.jpg", 200));
    WriteBytes(dir / L"cut-header.jpg", Truncated(L"sample.jpg", 20));
    WriteBytes(dir / L"cut.gif", Truncated(L"sample.gif", 30));
    WriteBytes(dir / L"cut.bmp", Truncated(L"sample.bmp", 80));
    WriteBytes(dir / L"cut-header.bmp", Truncated(L"sample.bmp", 20));
    auto noisy = ReadBytes(DataPath(L"sample.jpg"));
    for (size_t i = 30; i < noisy.size(); i += 7) noisy[i] ^= 0x5A;
    WriteBytes(dir / L"noisy.jpg", noisy);
    auto gif = ReadBytes(DataPath(L"sample.gif"));
    for (size_t i = 13; i < gif.size(); ++i) gif[i] = static_cast<uint8_t>(i * 37);
    WriteBytes(dir / L"noisy.gif", gif);
    auto bmp = ReadBytes(DataPath(L"sample.bmp"));
    Put32LE(bmp, 10, 0x7FFFFFF0);  // pixel data offset far beyond the file
    WriteBytes(dir / L"offset.bmp", bmp);

    for (auto name : {L"cut.jpg", L"cut-header.jpg", L"cut.gif", L"cut.bmp", L"cut-header.bmp", L"noisy.jpg",
                      L"noisy.gif", L"offset.bmp"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        ExpectCleanOutcome(dir / name);
    }
}

TEST_F(BadInputTest, HeadersClaimingHugeSizesDoNotTakeTheProgramDown) {
    auto bmp = ReadBytes(DataPath(L"sample.bmp"));
    Put32LE(bmp, 18, 65535);
    Put32LE(bmp, 22, 65535);
    WriteBytes(dir / L"huge-header.bmp", bmp);

    auto gif = ReadBytes(DataPath(L"sample.gif"));
    Put16LE(gif, 6, 65535);  // logical screen
    Put16LE(gif, 8, 65535);
    WriteBytes(dir / L"huge-screen.gif", gif);

    // The frame header (SOF0) of the JPEG: height and width follow the precision byte.
    auto jpg = ReadBytes(DataPath(L"sample.jpg"));
    for (size_t i = 2; i + 9 < jpg.size(); ++i) {
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
            jpg[i + 5] = 0xFF, jpg[i + 6] = 0xFF, jpg[i + 7] = 0xFF, jpg[i + 8] = 0xFF;
            break;
        }
    }
    WriteBytes(dir / L"huge-frame.jpg", jpg);

    for (auto name : {L"huge-header.bmp", L"huge-screen.gif", L"huge-frame.jpg"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        ExpectCleanOutcome(dir / name);
    }
}

TEST_F(BadInputTest, ARealThirtyThousandByTwentyThousandJpegLoadsOrFailsCleanly) {
    ExpectCleanOutcome(DataPath(L"huge.jpg"));
    if (CurrentFileName == DataPath(L"huge.jpg")) {
        EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 30000);
        EXPECT_EQ(frmBackground.picLoad.ScaleHeight(), 20000);
    }
    // Whatever happened, the engine goes on working.
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.gif"), false));
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 24);
}

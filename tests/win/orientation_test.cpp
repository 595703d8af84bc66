// Photos upright: the Exif orientation applied whichever decoder read the
// pixels, saved and copied as shown; and turns and flips by hand in both
// windows.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/loading.h"
#include "engine/picture_services.h"
#include "engine/view_size.h"
#include "test_support.h"
#include "windows/frmMini.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"
#include "windows/frmPopupMenu.h"

using namespace tamsel;
using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

// An Exif block (big-endian TIFF) whose IFD0 holds the orientation.
Bytes Exif(uint16_t o) {
    return {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, static_cast<uint8_t>(o), 0, 0, 0, 0, 0, 0};
}

Bytes JpegWith(const Bytes& jpeg, uint16_t o) {
    Bytes app1 = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    const Bytes exif = Exif(o);
    app1.insert(app1.end(), exif.begin(), exif.end());
    app1[3] = static_cast<uint8_t>(app1.size() - 2);
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), app1.begin(), app1.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// A picture's pixels, packed, with its size.
struct Shot {
    int w = 0, h = 0;
    Bytes px;
    explicit Shot(const forms::Picture& p) { px = PackedPixels(p, w, h); }
    Shot() = default;
    bool operator==(const Shot& o) const { return w == o.w && h == o.h && px == o.px; }
};

// `s` as orientation `o` says to show it, by the tag's definition.
Shot Upright(const Shot& s, int o) {
    const bool swap = o >= 5;
    Shot t;
    t.w = swap ? s.h : s.w, t.h = swap ? s.w : s.h;
    t.px.resize(s.px.size());
    for (int y = 0; y < t.h; ++y)
        for (int x = 0; x < t.w; ++x) {
            const int W = s.w, H = s.h;
            const std::pair<int, int> from[9] = {{},           {x, y},         {W - 1 - x, y},     {W - 1 - x, H - 1 - y},
                                                 {x, H - 1 - y}, {y, x},         {y, H - 1 - x},     {W - 1 - y, H - 1 - x},
                                                 {W - 1 - y, x}};
            const auto [sx, sy] = from[o];
            for (int c = 0; c < 3; ++c) t.px[(y * t.w + x) * 3 + c] = s.px[(sy * W + sx) * 3 + c];
        }
    return t;
}

Shot Loaded() { return Shot(frmBackground.picLoad.GetPicture()); }

Shot OnTheClipboard() {
    Shot s;
    if (!OpenClipboard(nullptr)) return s;
    if (HANDLE h = GetClipboardData(CF_BITMAP))
        s = Shot(forms::Picture::FromBitmap(static_cast<HBITMAP>(CopyImage(h, IMAGE_BITMAP, 0, 0, 0))));
    CloseClipboard();
    return s;
}

class OrientationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        EmptyTheClipboard();
        frmBackground.Load();
    }
    void TearDown() override {
        ResetProgramState();
        EmptyTheClipboard();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth");
    }
    TempDir dir;
};

}  // namespace

// Eight photos of one picture, one for each orientation: each shown upright,
// saved and copied as shown; with the option off, shown as decoded.
TEST_F(OrientationTest, EachOrientationIsShownUprightAndSavedAndCopiedSo) {
    const Bytes jpeg = ReadBytes(DataPath(L"sample.jpg"));  // 40 x 30, no two corners alike
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));
    const Shot source = Loaded();
    ASSERT_EQ(source.w, 40);
    frmNormal.Show();
    for (uint16_t o = 1; o <= 8; ++o) {
        SCOPED_TRACE(testing::Message() << "orientation " << o);
        const std::wstring file = dir / (std::to_wstring(o) + L".jpg");
        WriteBytes(file, JpegWith(jpeg, o));
        DropPictureLoad(file, frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        ASSERT_EQ(CurrentFileName, file);
        const Shot shown = Loaded();
        EXPECT_TRUE(shown == Upright(source, o));
        EXPECT_EQ(frmNormal.picView.ScaleWidth(), shown.w);
        {
            FileDialogAnswer answer(dir / L"out.bmp");
            frmNormal.menu_SaveAs_Click();
        }
        forms::Picture saved;
        ASSERT_EQ(LoadPicture(dir / L"out.bmp", saved), S_OK);
        EXPECT_TRUE(Shot(saved) == shown);
        frmNormal.menu_Copy_Click();
        EXPECT_TRUE(OnTheClipboard() == shown);
    }
    Settings.ExifOrientation = kFalse;
    ASSERT_TRUE(frmBackground.PictureLoadRun(dir / L"6.jpg", false));
    EXPECT_TRUE(Loaded() == source);
}

// The same for a plug-in's format (a WebP container whose EXIF chunk the
// plug-in never reads, decoded in its host) and the imaging component's TIFFs.
TEST_F(OrientationTest, PluginAndImagingComponentPicturesAreTurnedToo) {
    TempDir plugins;
    InstallTestPlugin(L"riff", plugins.path());
    SetPluginFolder(plugins.path());
    frmBackground.SusiePlugin.Start();
    // 5 x 3 pixels, each its own colour.
    Bytes rgb;
    for (int i = 0; i < 15; ++i) rgb.insert(rgb.end(), {static_cast<uint8_t>(i * 16), static_cast<uint8_t>(255 - i * 9), 7});
    auto chunk = [](Bytes& f, const char* type, const Bytes& data) {
        f.insert(f.end(), type, type + 4);
        const uint32_t n = static_cast<uint32_t>(data.size());
        f.insert(f.end(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0, 0});
        f.insert(f.end(), data.begin(), data.end());
        if (n & 1) f.push_back(0);
    };
    Bytes pixels = {5, 0, 0, 0, 3, 0, 0, 0};
    pixels.insert(pixels.end(), rgb.begin(), rgb.end());
    Bytes webp = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'};
    chunk(webp, "EXIF", Exif(6));
    chunk(webp, "TPIX", pixels);
    WriteBytes(dir / L"photo.webp", webp);

    // An uncompressed 5 x 3 RGB TIFF of the same pixels, orientation 6; in the
    // second its directory lies past the bytes read ahead (as writers that put
    // it last make it), so that only the imaging component's metadata tells.
    auto writeTiff = [&](const wchar_t* name, uint32_t gap) {
        Bytes tiff = {'I', 'I', 42, 0};
        auto u16 = [&](uint16_t v) { tiff.push_back(v & 0xFF), tiff.push_back(v >> 8); };
        auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(static_cast<uint16_t>(v >> 16)); };
        auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
            u16(tag), u16(type), u32(1);
            type == 3 ? (u16(static_cast<uint16_t>(value)), u16(0)) : u32(value);
        };
        const uint16_t entries = 10;
        const uint32_t ifd = 8 + gap, data = ifd + 2 + entries * 12 + 4;
        u32(ifd);
        tiff.resize(ifd);
        u16(entries);
        entry(256, 3, 5), entry(257, 3, 3), entry(258, 3, 8), entry(259, 3, 1), entry(262, 3, 2);
        entry(273, 4, data), entry(274, 3, 6), entry(277, 3, 3), entry(278, 3, 3), entry(279, 4, 45);
        u32(0);
        tiff.insert(tiff.end(), rgb.begin(), rgb.end());
        // Bits per sample counts 1 here: three samples of 8 bits each read alike.
        WriteBytes(dir / name, tiff);
    };
    writeTiff(L"photo.tif", 0);
    writeTiff(L"late.tif", 300 * 1024);

    Shot source;
    source.w = 5, source.h = 3;
    for (size_t i = 0; i < rgb.size(); i += 3) source.px.insert(source.px.end(), {rgb[i + 2], rgb[i + 1], rgb[i]});
    for (const wchar_t* name : {L"photo.webp", L"photo.tif", L"late.tif"}) {
        SCOPED_TRACE(testing::Message() << name);
        ASSERT_TRUE(frmBackground.PictureLoadRun(dir / name, false));
        EXPECT_TRUE(Loaded() == Upright(source, 6));
    }
}

// Each turn and flip, from its menu item and its key, in both windows, at
// 100 % and at 150 % (the high-quality result): the picture as loaded turned,
// shown at the view size, the window fitted, the caption kept; four right
// turns give the picture back.
TEST_F(OrientationTest, TurnsAndFlipsByHandInBothWindows) {
    struct Case {
        bool borderless;
        int16_t percent;
        bool byKey;
    };
    for (const Case c : {Case{false, 100, false}, Case{false, 150, true}, Case{true, 100, true}, Case{true, 150, false}}) {
        SCOPED_TRACE(testing::Message() << (c.borderless ? "borderless" : "framed") << " " << c.percent << "% by "
                                        << (c.byKey ? "key" : "menu"));
        ResetProgramState();
        frmBackground.Load();
        forms::Form& window = c.borderless ? static_cast<forms::Form&>(frmNoTitleFrame) : frmNormal;
        forms::PictureBox& view = c.borderless ? frmNoTitleFrame.picView : frmNormal.picView;
        TurnMenu& menu = c.borderless ? frmPopupMenu.menu_Turn : frmNormal.menu_Turn;
        window.Show();
        // Greyed with no picture; a key does nothing then.
        menu.Refresh();
        EXPECT_FALSE(menu.right.Enabled());
        EXPECT_FALSE(TurnShownPicture(Turn::Right, view, nullptr, window, !c.borderless));
        DropPictureLoad(DataPath(L"sample.jpg"), view, nullptr, window, !c.borderless);
        CurrentViewSize = c.percent;
        ApplyViewSize(view, nullptr, window, !c.borderless);
        PumpUntilRendered();
        const Shot original = Loaded();
        const std::wstring caption = MakeCaption();  // the view size's, kept through every turn
        if (c.borderless) frmMini.SetCaption(caption);
        menu.Refresh();
        EXPECT_TRUE(menu.right.Enabled());
        const std::pair<Turn, char> turns[] = {{Turn::Right, 'R'}, {Turn::Left, 'L'}, {Turn::FlipHorizontal, 'H'},
                                               {Turn::FlipVertical, 'V'}, {Turn::Right, 'R'}, {Turn::Right, 'R'},
                                               {Turn::Right, 'R'}, {Turn::Right, 'R'}};
        for (const auto& [turn, key] : turns) {
            const Shot before = Loaded();
            if (c.byKey) {
                PressKey(view.hWnd(), key);
            } else {
                forms::Menu& item = turn == Turn::Right ? menu.right : turn == Turn::Left ? menu.left
                                    : turn == Turn::FlipHorizontal ? menu.flipHorizontal : menu.flipVertical;
                item.OnClick();
            }
            PumpUntilRendered();
            const Shot after = Loaded();
            EXPECT_TRUE(after == Upright(before, static_cast<int>(turn))) << key;
            EXPECT_EQ(view.ScaleWidth(), after.w * c.percent / 100) << key;
            EXPECT_EQ(view.ScaleHeight(), after.h * c.percent / 100) << key;
            const forms::Picture shown = view.GetPicture();
            if (c.percent == 100) EXPECT_TRUE(Shot(shown) == after) << key;
            else EXPECT_TRUE(IsHighQualityOf(shown, frmBackground.picLoad.GetPicture(), c.percent)) << key;
            // The window fitted: exactly the picture without a frame; the frame's height to it with one.
            if (c.borderless) EXPECT_EQ(window.Width(), view.Width()) << key;
            else EXPECT_EQ(window.ScaleHeight(), view.Height()) << key;
            EXPECT_EQ(c.borderless ? frmMini.Caption() : frmNormal.Caption(), caption) << key;
        }
        // A right and a left cancel, the two flips make a half turn, and four right turns change nothing.
        EXPECT_TRUE(Loaded() == Upright(original, 3));
        window.Unload();
    }
}

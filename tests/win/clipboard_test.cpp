// The real clipboard of the test desktop.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/picture_services.h"
#include "test_support.h"

using namespace tamsel;
using namespace testing_support;
using forms::Picture;

TEST(Clipboard, APictureGoesOnAsBitmapAndDibAndComesBackTheSame) {
    Picture bmp;
    ASSERT_EQ(LoadPicture(DataPath(L"sample.bmp"), bmp), S_OK);
    ASSERT_EQ(ClipboardClear(), S_OK);
    ASSERT_EQ(ClipboardSetData(bmp), S_OK);
    EXPECT_TRUE(ClipboardGetFormat(CF_BITMAP));
    EXPECT_TRUE(ClipboardGetFormat(CF_DIB));
    Picture back;
    ASSERT_EQ(ClipboardGetData(back), S_OK);
    EXPECT_EQ(back.Type(), PICTYPE_BITMAP);
    ASSERT_EQ(back.WidthPixels(), 7);
    ASSERT_EQ(back.HeightPixels(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(PixelOf(back, x, y), PixelOf(bmp, x, y));

    ASSERT_EQ(ClipboardClear(), S_OK);
    EXPECT_FALSE(ClipboardGetFormat(CF_BITMAP));
    EXPECT_FALSE(ClipboardGetFormat(CF_DIB));
    EXPECT_FALSE(ClipboardGetFormat(CF_METAFILEPICT));
    EXPECT_TRUE(FAILED(ClipboardGetData(back)));
}

TEST(Clipboard, TextIsNoPicture) {
    PutTextOnClipboard(L"テキストだけ");
    EXPECT_FALSE(ClipboardGetFormat(CF_BITMAP));
    EXPECT_FALSE(ClipboardGetFormat(CF_METAFILEPICT));
    EXPECT_FALSE(ClipboardGetFormat(CF_DIB));
    Picture p;
    EXPECT_TRUE(FAILED(ClipboardGetData(p)));
    EXPECT_TRUE(p.Empty());
}

TEST(Clipboard, AClipboardHeldOpenElsewhereGivesAFailureNotAHang) {
    PutBitmapOnClipboard(4, 3, 0x336699);
    std::atomic<int> state{0};
    std::thread holder([&] {
        HWND w = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (OpenClipboard(w)) {
            state = 1;
            while (state == 1) Sleep(5);
            CloseClipboard();
        } else {
            state = 3;
        }
        DestroyWindow(w);
    });
    while (state == 0) Sleep(1);
    ASSERT_EQ(state, 1);
    DWORD start = GetTickCount();
    Picture p;
    EXPECT_EQ(ClipboardGetData(p), CLIPBRD_E_CANT_OPEN);
    EXPECT_EQ(ClipboardClear(), CLIPBRD_E_CANT_OPEN);
    EXPECT_LT(GetTickCount() - start, 3000u);
    state = 2;
    holder.join();
    ASSERT_EQ(ClipboardGetData(p), S_OK);  // released: the picture is there again
    EXPECT_EQ(p.WidthPixels(), 4);
    EXPECT_EQ(PixelOf(p, 1, 1), 0x336699u);
}

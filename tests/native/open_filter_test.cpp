#include <gtest/gtest.h>

#include "engine/open_filter.h"
#include "forms/filter.h"

using namespace tamsel;

TEST(OpenFilter, WithoutPicturePluginsTheAllPicturesPatternsHaveTwoSemicolonsInARow) {
    const std::wstring f = BuildOpenFilter(L"*.bmp;");
    EXPECT_EQ(f,
              L"全てのファイル (*.*)|*.*|全ての画像ファイル|*.bmp;;*.jpg;*.jpeg;*.gif;*.zip|ビットマップファイル (*.BMP)|*.bmp"
              L"|JPEGファイル (*.JPG, *.JPEG)|*.jpg;*.jpeg|書庫ファイル|*.zip");
    auto pairs = forms::ParseFilter(f);
    ASSERT_EQ(pairs.size(), 5u);
    EXPECT_EQ(pairs[0].first, L"全てのファイル (*.*)");
    EXPECT_EQ(pairs[0].second, L"*.*");
    EXPECT_EQ(pairs[1].first, L"全ての画像ファイル");
    EXPECT_EQ(pairs[1].second, L"*.bmp;;*.jpg;*.jpeg;*.gif;*.zip");
    EXPECT_EQ(pairs[2].second, L"*.bmp");
    EXPECT_EQ(pairs[3].first, L"JPEGファイル (*.JPG, *.JPEG)");
    EXPECT_EQ(pairs[3].second, L"*.jpg;*.jpeg");
    EXPECT_EQ(pairs[4].first, L"書庫ファイル");
    EXPECT_EQ(pairs[4].second, L"*.zip");
}

TEST(OpenFilter, SystemFormIsNulSeparatedPairsEndingInTwoNuls) {
    std::wstring sys = forms::FilterToSystem(L"A|*.a|B|*.b");
    EXPECT_EQ(sys, std::wstring(L"A\0*.a\0B\0*.b\0\0", 13));
    EXPECT_EQ(forms::FilterToSystem(L"Odd"), std::wstring(L"Odd\0*.*\0\0", 9));
    EXPECT_EQ(forms::FilterToSystem(L""), std::wstring(L"\0\0", 2));
}

TEST(ProgressCaption, PercentTruncatesAndAMissingMaximumShowsNoPercentage) {
    EXPECT_EQ(LoadProgressCaption(42, 100), L"Load ...42%");
    EXPECT_EQ(LoadProgressCaption(50, 200), L"Load ...25%");
    EXPECT_EQ(LoadProgressCaption(1, 3), L"Load ...33%");
    EXPECT_EQ(LoadProgressCaption(0, 1), L"Load ...0%");
    EXPECT_EQ(LoadProgressCaption(-1, 3), L"Load ...-33%");  // truncates toward zero
    EXPECT_EQ(LoadProgressCaption(-7, 3), L"Load ...-233%");
    EXPECT_EQ(LoadProgressCaption(5, 0), L"Load ...");
    EXPECT_EQ(LoadProgressCaption(5, -4), L"Load ...");
    EXPECT_EQ(LoadProgressCaption(30000000, 60000000), L"Load ...");  // the product overflows 32 bits
}

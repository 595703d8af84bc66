// The options record through the real registry of the test prefix.
#include <gtest/gtest.h>

#include "app/mdlTamsel.h"
#include "app/settings_store.h"
#include "test_support.h"
#include "version.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

// The real registry, with every call noted in order.
class NotingStore : public RegistrySettingsStore {
public:
    std::vector<std::wstring> calls;
    std::wstring GetSetting(const std::wstring& a, const std::wstring& s, const std::wstring& k,
                            const std::wstring& d) override {
        calls.push_back(L"get " + s + L"/" + k);
        return RegistrySettingsStore::GetSetting(a, s, k, d);
    }
    void SaveSetting(const std::wstring& a, const std::wstring& s, const std::wstring& k,
                     const std::wstring& v) override {
        calls.push_back(L"put " + s + L"/" + k);
        RegistrySettingsStore::SaveSetting(a, s, k, v);
    }
};

void LoadFromRegistry(const std::wstring& programFolder) {
    RegistrySettingsStore store;
    LoadSettings(store, VariantConversions(), programFolder, 1, Settings, SharedValues);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        ClearStoredSettings();
    }
    void TearDown() override {
        ResetProgramState();
        ClearStoredSettings();
    }
};

}  // namespace

TEST_F(SettingsStoreTest, FirstStartWritesTheAppKeysBeforeAnyReadAndTakesEveryDefault) {
    NotingStore store;
    LoadSettings(store, VariantConversions(), ProgramFolder(), TAMSEL_VERSION_MINOR, Settings, SharedValues);
    ASSERT_GE(store.calls.size(), 3u);
    EXPECT_EQ(store.calls[0], L"put App/Minor");
    EXPECT_EQ(store.calls[1], L"put App/Path");
    EXPECT_EQ(store.calls[2], L"get Options/VSe_0");
    EXPECT_EQ(StoredValue(L"App", L"Minor"), L"1");
    EXPECT_EQ(StoredValue(L"App", L"Path"), ProgramFolder());
    EXPECT_FALSE(StoredValue(L"Options", L"AtAtt").has_value());  // reading writes nothing

    for (auto& e : Settings.ViewSizes) {
        EXPECT_EQ(e.Percent, 100);
        EXPECT_EQ(e.Enabled, kFalse);
    }
    EXPECT_EQ(Settings.AutoAttach, kTrue);
    EXPECT_EQ(Settings.RunState, -1);
    EXPECT_EQ(Settings.LastForm, 0);
    EXPECT_EQ(Settings.WindowPointIndex, 2);
    EXPECT_EQ(Settings.PictureBlt, kTrue);
    EXPECT_EQ(Settings.DefaultPicture, kTrue);
    EXPECT_EQ(Settings.DefaultPictureName, ProgramFolder() + L"\\ts2image.JPG");
    EXPECT_EQ(CurrentViewSize, 100);
    EXPECT_EQ(WindowPointX, -100);
    EXPECT_EQ(WindowPointY, -100);
}

TEST_F(SettingsStoreTest, StoredTextsConvertAsThePlatformConvertsThemAndInvalidOnesGiveDefaults) {
    StoreValue(L"Options", L"VSs_3", L"250");
    StoreValue(L"Options", L"VSe_3", L"True");
    StoreValue(L"Options", L"VSe_4", L"false");   // any case
    StoreValue(L"Options", L"VSe_5", L"-1");      // numeric text: non-zero is True
    StoreValue(L"Options", L"VSs_0", L" 40 ");    // surrounding blanks
    StoreValue(L"Options", L"VSs_1", L"2.5");     // fraction: halves to even
    StoreValue(L"Options", L"VSs_2", L"3.5");
    StoreValue(L"Options", L"VSs_4", L"1,000");   // digit grouping
    StoreValue(L"Options", L"AtAtt", L"abc");     // no Boolean: default True
    StoreValue(L"Options", L"PicBl", L"");        // empty: default True
    StoreValue(L"Options", L"WPits", L"99999");   // beyond 16 bits: default 2
    StoreValue(L"Options", L"VLstF", L"-40000");  // beyond 16 bits: default -1
    StoreValue(L"Run", L"LstFm", L"one");         // default 0
    StoreValue(L"Options", L"DPiFN", L"C:\\写真\\夕焼け.jpg");
    LoadFromRegistry(ProgramFolder());

    EXPECT_EQ(Settings.ViewSizes[3].Percent, 250);
    EXPECT_EQ(Settings.ViewSizes[3].Enabled, kTrue);
    EXPECT_EQ(Settings.ViewSizes[4].Enabled, kFalse);
    EXPECT_EQ(Settings.ViewSizes[5].Enabled, kTrue);
    EXPECT_EQ(Settings.ViewSizes[0].Percent, 40);
    EXPECT_EQ(Settings.ViewSizes[1].Percent, 2);
    EXPECT_EQ(Settings.ViewSizes[2].Percent, 4);
    EXPECT_EQ(Settings.ViewSizes[4].Percent, 1000);
    EXPECT_EQ(Settings.AutoAttach, kTrue);
    EXPECT_EQ(Settings.PictureBlt, kTrue);
    EXPECT_EQ(Settings.WindowPointIndex, 2);
    EXPECT_EQ(Settings.RunState, -1);
    EXPECT_EQ(Settings.LastForm, 0);
    EXPECT_EQ(Settings.DefaultPictureName, L"C:\\写真\\夕焼け.jpg");
}

TEST_F(SettingsStoreTest, SaveSettingsWritesEveryKeyAsTextAndTheNextStartReadsTheSameRecord) {
    LoadFromRegistry(ProgramFolder());
    Settings.ViewSizes[6] = {750, kTrue};
    Settings.AutoAttach = kFalse;
    Settings.WindowPoint = kTrue;
    Settings.WindowPointIndex = 4;
    Settings.Translucence = kTrue;
    Settings.ExifOrientation = kFalse;
    Settings.ReadAhead = kFalse;
    Settings.DefaultPictureName = L"D:\\ĉambro\\이미지.bmp";
    Settings.LastForm = 1;
    SaveSettings();

    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(StoredValue(L"Options", L"VSe_" + std::to_wstring(i)).has_value());
        EXPECT_TRUE(StoredValue(L"Options", L"VSs_" + std::to_wstring(i)).has_value());
    }
    for (auto key : {L"AtAtt", L"VLstF", L"MVsbE", L"MVsbH", L"WPint", L"WPits", L"VDefS", L"PicBl", L"DefPi",
                     L"DPiFN", L"Trans", L"ExifO", L"ReadA"})
        EXPECT_TRUE(StoredValue(L"Options", key).has_value()) << key;
    EXPECT_EQ(StoredValue(L"Options", L"VSe_6"), L"True");
    EXPECT_EQ(StoredValue(L"Options", L"VSs_6"), L"750");
    EXPECT_EQ(StoredValue(L"Options", L"VSe_0"), L"False");
    EXPECT_EQ(StoredValue(L"Options", L"AtAtt"), L"False");
    EXPECT_EQ(StoredValue(L"Options", L"VLstF"), L"-1");
    EXPECT_EQ(StoredValue(L"Options", L"WPits"), L"4");
    EXPECT_EQ(StoredValue(L"Options", L"ExifO"), L"False");
    EXPECT_EQ(StoredValue(L"Options", L"ReadA"), L"False");
    EXPECT_EQ(StoredValue(L"Run", L"LstFm"), L"1");

    SettingsRecord saved = Settings;
    Settings = SettingsRecord{};
    LoadFromRegistry(L"C:\\moved");
    EXPECT_EQ(Settings.ViewSizes[6].Percent, 750);
    EXPECT_EQ(Settings.ViewSizes[6].Enabled, kTrue);
    EXPECT_EQ(Settings.AutoAttach, kFalse);
    EXPECT_EQ(Settings.WindowPoint, kTrue);
    EXPECT_EQ(Settings.WindowPointIndex, 4);
    EXPECT_EQ(Settings.Translucence, kTrue);
    EXPECT_EQ(Settings.ExifOrientation, kFalse);
    EXPECT_EQ(Settings.ReadAhead, kFalse);
    EXPECT_EQ(Settings.DefaultPictureName, saved.DefaultPictureName);
    EXPECT_EQ(Settings.LastForm, 1);
}

TEST_F(SettingsStoreTest, ClosingTheViewerToSwitchWritesNothingButClosingForGoodWritesEverything) {
    LoadFromRegistry(ProgramFolder());
    ClearStoredSettings();
    frmNormal.Show();
    frmNormal.Move(1500, 1200, 6000, 4500);
    frmNormal.SwitchingForm = true;
    frmNormal.Unload();
    EXPECT_FALSE(StoredValue(L"Options", L"AtAtt").has_value());
    EXPECT_FALSE(StoredValue(L"Run", L"LstFm").has_value());
    EXPECT_EQ(LastWindowLeft, 1500);
    EXPECT_EQ(LastWindowTop, 1200);
    EXPECT_EQ(LastWindowWidth, 6000);
    EXPECT_EQ(LastWindowHeight, 4500);

    Settings.LastForm = 1;
    frmNormal.Show();  // loading the framed window makes it the last one
    EXPECT_EQ(Settings.LastForm, 0);
    frmNormal.Unload();
    EXPECT_EQ(StoredValue(L"Run", L"LstFm"), L"0");
    EXPECT_EQ(StoredValue(L"Options", L"DPiFN"), Settings.DefaultPictureName);
}

TEST_F(SettingsStoreTest, TheRegistryReceivesEveryKeyInTheWritingOrder) {
    LoadFromRegistry(ProgramFolder());
    NotingStore store;
    WriteSettings(store, Settings);
    std::vector<std::wstring> expected;
    for (int i = 0; i < 7; ++i) {
        expected.push_back(L"put Options/VSe_" + std::to_wstring(i));
        expected.push_back(L"put Options/VSs_" + std::to_wstring(i));
    }
    for (auto key : {L"AtAtt", L"VLstF", L"MVsbE", L"MVsbH", L"WPint", L"WPits", L"VDefS", L"PicBl", L"DefPi",
                     L"DPiFN", L"Trans", L"ExifO", L"ReadA"})
        expected.push_back(std::wstring(L"put Options/") + key);
    expected.push_back(L"put Run/LstFm");
    EXPECT_EQ(store.calls, expected);
    EXPECT_EQ(StoredValue(L"Options", L"VSs_0"), L"100");
    EXPECT_EQ(StoredValue(L"Options", L"MVsbH"), L"True");
    EXPECT_EQ(StoredValue(L"Options", L"Trans"), L"False");
}

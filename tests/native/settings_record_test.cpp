#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "app/settings_record.h"

using namespace tamsel;

namespace {

// Records every call in order; holds values like a real store.
class RecordingStore : public SettingsStore {
public:
    std::map<std::wstring, std::wstring> values;  // "section/key"
    std::vector<std::wstring> calls;              // "get section/key" or "put section/key=value"

    std::wstring GetSetting(const std::wstring& app, const std::wstring& section, const std::wstring& key,
                            const std::wstring& def) override {
        EXPECT_EQ(app, L"Tamsel2");
        calls.push_back(L"get " + section + L"/" + key);
        auto it = values.find(section + L"/" + key);
        return it == values.end() ? def : it->second;
    }
    void SaveSetting(const std::wstring& app, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) override {
        EXPECT_EQ(app, L"Tamsel2");
        calls.push_back(L"put " + section + L"/" + key + L"=" + value);
        values[section + L"/" + key] = value;
    }
};

// Strict stand-ins for the platform conversions: "True"/"False" and whole numbers in range.
bool ToBool(const std::wstring& t, VBBool& out) {
    if (t == L"True") return out = kTrue, true;
    if (t == L"False") return out = kFalse, true;
    return false;
}
bool ToInt16(const std::wstring& t, int16_t& out) {
    if (t.empty()) return false;
    wchar_t* end = nullptr;
    long v = std::wcstol(t.c_str(), &end, 10);
    if (*end || v < -32768 || v > 32767) return false;
    out = static_cast<int16_t>(v);
    return true;
}
const TextConversions kConv{&ToBool, &ToInt16};

const std::vector<std::wstring> kOptionKeys = {L"AtAtt", L"VLstF", L"MVsbE", L"MVsbH", L"WPint", L"WPits",
                                               L"VDefS", L"PicBl", L"DefPi", L"DPiFN", L"Trans", L"ExifO", L"ReadA"};

}  // namespace

TEST(SettingsRecord, FirstStartWritesAppKeysThenReadsEveryKeyInOrderWithDefaults) {
    RecordingStore store;
    SettingsRecord s;
    s.AutoAttach = kFalse;  // anything left over must be overwritten by the defaults
    s.RunState = 5;
    RunValues run;
    run.CurrentViewSize = 300;
    run.WindowPointX = 7;
    LoadSettings(store, kConv, L"C:\\Apps\\Tamsel2", 1, s, run);

    std::vector<std::wstring> expected = {L"put App/Minor=1", L"put App/Path=C:\\Apps\\Tamsel2"};
    for (int i = 0; i < 7; ++i) {
        expected.push_back(L"get Options/VSe_" + std::to_wstring(i));
        expected.push_back(L"get Options/VSs_" + std::to_wstring(i));
    }
    for (auto& k : kOptionKeys) expected.push_back(L"get Options/" + k);
    expected.push_back(L"get Run/LstFm");
    EXPECT_EQ(store.calls, expected);

    for (auto& e : s.ViewSizes) {
        EXPECT_EQ(e.Percent, 100);
        EXPECT_EQ(e.Enabled, kFalse);
    }
    EXPECT_EQ(s.AutoAttach, kTrue);
    EXPECT_EQ(s.RunState, -1);
    EXPECT_EQ(s.MenuVisibleEdit, kTrue);
    EXPECT_EQ(s.MenuVisibleHelp, kTrue);
    EXPECT_EQ(s.WindowPoint, kFalse);
    EXPECT_EQ(s.WindowPointIndex, 2);
    EXPECT_EQ(s.ViewDefaultSize, kFalse);
    EXPECT_EQ(s.PictureBlt, kTrue);
    EXPECT_EQ(s.DefaultPicture, kTrue);
    EXPECT_EQ(s.DefaultPictureName, L"C:\\Apps\\Tamsel2\\ts2image.JPG");
    EXPECT_EQ(s.Translucence, kFalse);
    EXPECT_EQ(s.ExifOrientation, kTrue);
    EXPECT_EQ(s.ReadAhead, kTrue);
    EXPECT_EQ(s.LastForm, 0);
    EXPECT_EQ(run.CurrentViewSize, 100);
    EXPECT_EQ(run.WindowPointX, -100);
    EXPECT_EQ(run.WindowPointY, -100);
}

TEST(SettingsRecord, StoredValuesAreUsedAndUnconvertibleOnesFallBackToDefaults) {
    RecordingStore store;
    store.values[L"Options/VSs_3"] = L"250";
    store.values[L"Options/VSe_3"] = L"True";
    store.values[L"Options/AtAtt"] = L"abc";    // no Boolean
    store.values[L"Options/WPits"] = L"99999";  // beyond 16 bits
    store.values[L"Options/VLstF"] = L"1";
    store.values[L"Options/DPiFN"] = L"D:\\pics\\写真.jpg";
    store.values[L"Run/LstFm"] = L"";
    SettingsRecord s;
    RunValues run;
    LoadSettings(store, kConv, L"C:\\x", 1, s, run);
    EXPECT_EQ(s.ViewSizes[3].Percent, 250);
    EXPECT_EQ(s.ViewSizes[3].Enabled, kTrue);
    EXPECT_EQ(s.ViewSizes[2].Percent, 100);
    EXPECT_EQ(s.AutoAttach, kTrue);
    EXPECT_EQ(s.WindowPointIndex, 2);
    EXPECT_EQ(s.RunState, 1);
    EXPECT_EQ(s.DefaultPictureName, L"D:\\pics\\写真.jpg");
    EXPECT_EQ(s.LastForm, 0);
}

TEST(SettingsRecord, WriteSettingsWritesEveryKeyInOrderAndReadsBackTheSame) {
    SettingsRecord s;
    for (int i = 0; i < 7; ++i) s.ViewSizes[i] = {static_cast<int16_t>(25 * (i + 1)), i % 2 ? kTrue : kFalse};
    s.AutoAttach = kFalse;
    s.RunState = 1;
    s.WindowPointIndex = -3;
    s.PictureBlt = kFalse;
    s.DefaultPictureName = L"C:\\a b\\c.bmp";
    s.Translucence = kTrue;
    s.ExifOrientation = kFalse;
    s.ReadAhead = kFalse;
    s.LastForm = 1;
    RecordingStore store;
    WriteSettings(store, s);

    std::vector<std::wstring> keys;
    for (auto& c : store.calls) keys.push_back(c.substr(0, c.find(L'=')));
    std::vector<std::wstring> expected;
    for (int i = 0; i < 7; ++i) {
        expected.push_back(L"put Options/VSe_" + std::to_wstring(i));
        expected.push_back(L"put Options/VSs_" + std::to_wstring(i));
    }
    for (auto& k : kOptionKeys) expected.push_back(L"put Options/" + k);
    expected.push_back(L"put Run/LstFm");
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(store.values[L"Options/VSe_0"], L"False");
    EXPECT_EQ(store.values[L"Options/VSe_1"], L"True");
    EXPECT_EQ(store.values[L"Options/VSs_6"], L"175");
    EXPECT_EQ(store.values[L"Options/WPits"], L"-3");
    EXPECT_EQ(store.values[L"Options/AtAtt"], L"False");

    SettingsRecord back;
    RunValues run;
    LoadSettings(store, kConv, L"C:\\elsewhere", 1, back, run);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(back.ViewSizes[i].Percent, s.ViewSizes[i].Percent);
        EXPECT_EQ(back.ViewSizes[i].Enabled, s.ViewSizes[i].Enabled);
    }
    EXPECT_EQ(back.AutoAttach, kFalse);
    EXPECT_EQ(back.RunState, 1);
    EXPECT_EQ(back.WindowPointIndex, -3);
    EXPECT_EQ(back.PictureBlt, kFalse);
    EXPECT_EQ(back.DefaultPictureName, L"C:\\a b\\c.bmp");  // a stored name no longer follows the program
    EXPECT_EQ(back.Translucence, kTrue);
    EXPECT_EQ(back.ExifOrientation, kFalse);
    EXPECT_EQ(back.ReadAhead, kFalse);
    EXPECT_EQ(back.LastForm, 1);
}

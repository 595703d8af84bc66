#include "app/settings_record.h"

namespace tamsel {
namespace {

const std::wstring kOptions = L"Options";

struct Reader {
    SettingsStore& store;
    const TextConversions& conv;

    void Bool(const std::wstring& section, const std::wstring& key, const wchar_t* def, VBBool& field) {
        VBBool fallback = 0;
        conv.ToBool(def, fallback);
        std::wstring text = store.GetSetting(kAppName, section, key, def);
        if (!conv.ToBool(text, field)) field = fallback;
    }
    void Int16(const std::wstring& section, const std::wstring& key, const wchar_t* def, int16_t& field) {
        int16_t fallback = 0;
        conv.ToInt16(def, fallback);
        std::wstring text = store.GetSetting(kAppName, section, key, def);
        if (!conv.ToInt16(text, field)) field = fallback;
    }
};

std::wstring Digit(int index) { return std::wstring(1, static_cast<wchar_t>(L'0' + index)); }

}  // namespace

std::wstring BoolText(VBBool v) { return v ? L"True" : L"False"; }

std::wstring DefaultPictureNameFor(const std::wstring& programFolder) {
    return programFolder + L"\\" + L"ts2image.JPG";
}

void LoadSettings(SettingsStore& store, const TextConversions& conv, const std::wstring& programFolder,
                  int minorVersion, SettingsRecord& s, RunValues& run) {
    store.SaveSetting(kAppName, L"App", L"Minor", std::to_wstring(minorVersion));
    store.SaveSetting(kAppName, L"App", L"Path", programFolder);

    Reader r{store, conv};
    for (int i = 0; i < 7; ++i) {
        r.Bool(kOptions, L"VSe_" + Digit(i), L"False", s.ViewSizes[i].Enabled);
        r.Int16(kOptions, L"VSs_" + Digit(i), L"100", s.ViewSizes[i].Percent);
    }
    run.CurrentViewSize = 100;
    r.Bool(kOptions, L"AtAtt", L"True", s.AutoAttach);
    r.Int16(kOptions, L"VLstF", L"-1", s.RunState);
    r.Bool(kOptions, L"MVsbE", L"True", s.MenuVisibleEdit);
    r.Bool(kOptions, L"MVsbH", L"True", s.MenuVisibleHelp);
    r.Bool(kOptions, L"WPint", L"False", s.WindowPoint);
    r.Int16(kOptions, L"WPits", L"2", s.WindowPointIndex);
    r.Bool(kOptions, L"VDefS", L"False", s.ViewDefaultSize);
    r.Bool(kOptions, L"PicBl", L"True", s.PictureBlt);
    r.Bool(kOptions, L"DefPi", L"True", s.DefaultPicture);
    s.DefaultPictureName = store.GetSetting(kAppName, kOptions, L"DPiFN", DefaultPictureNameFor(programFolder));
    r.Bool(kOptions, L"Trans", L"False", s.Translucence);
    r.Bool(kOptions, L"ExifO", L"True", s.ExifOrientation);
    r.Bool(kOptions, L"ReadA", L"True", s.ReadAhead);
    run.WindowPointX = -100;
    run.WindowPointY = -100;
    r.Int16(L"Run", L"LstFm", L"0", s.LastForm);
}

void WriteSettings(SettingsStore& store, const SettingsRecord& s) {
    auto put = [&](const std::wstring& section, const std::wstring& key, const std::wstring& value) {
        store.SaveSetting(kAppName, section, key, value);
    };
    for (int i = 0; i < 7; ++i) {
        put(kOptions, L"VSe_" + Digit(i), BoolText(s.ViewSizes[i].Enabled));
        put(kOptions, L"VSs_" + Digit(i), std::to_wstring(s.ViewSizes[i].Percent));
    }
    put(kOptions, L"AtAtt", BoolText(s.AutoAttach));
    put(kOptions, L"VLstF", std::to_wstring(s.RunState));
    put(kOptions, L"MVsbE", BoolText(s.MenuVisibleEdit));
    put(kOptions, L"MVsbH", BoolText(s.MenuVisibleHelp));
    put(kOptions, L"WPint", BoolText(s.WindowPoint));
    put(kOptions, L"WPits", std::to_wstring(s.WindowPointIndex));
    put(kOptions, L"VDefS", BoolText(s.ViewDefaultSize));
    put(kOptions, L"PicBl", BoolText(s.PictureBlt));
    put(kOptions, L"DefPi", BoolText(s.DefaultPicture));
    put(kOptions, L"DPiFN", s.DefaultPictureName);
    put(kOptions, L"Trans", BoolText(s.Translucence));
    put(kOptions, L"ExifO", BoolText(s.ExifOrientation));
    put(kOptions, L"ReadA", BoolText(s.ReadAhead));
    put(L"Run", L"LstFm", std::to_wstring(s.LastForm));
}

}  // namespace tamsel

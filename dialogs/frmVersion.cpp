#include "dialogs/frmVersion.h"

#include <vector>

#include "app/module_file.h"
#include "dialogs/dialog_rules.h"
#include "forms/system_library.h"
#include "resources/resource.h"

namespace tamsel {

FrmVersion frmVersion;

namespace {
const wchar_t kCaptionFont[] = L"ＭＳ Ｐゴシック";
}

void ProgramVersion(int& major, int& minor, int& revision) {
    major = minor = revision = 0;
    const std::wstring program = ModuleFileName(nullptr);
    if (program.empty()) return;
    const wchar_t* path = program.c_str();
    static const auto infoSize =
        forms::SystemProc<decltype(&GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
    static const auto infoOf = forms::SystemProc<decltype(&GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
    static const auto query = forms::SystemProc<decltype(&VerQueryValueW)>(L"version.dll", "VerQueryValueW");
    if (!infoSize || !infoOf || !query) return;
    DWORD ignored = 0;
    const DWORD size = infoSize(path, &ignored);
    if (!size) return;
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!infoOf(path, 0, size, block.data()) || !query(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        !info)
        return;
    major = HIWORD(info->dwFileVersionMS);
    minor = LOWORD(info->dwFileVersionMS);
    revision = HIWORD(info->dwFileVersionLS);
}

void FrmVersion::InitializeComponent() {
    SetCaption(L"Tamsel2 のバージョン情報");
    SetClientSize(5625, 2040);
    cmdClose.Default = true;
    cmdClose.Cancel = true;
    cmdClose.OnClick = [this] { cmdClose_Click(); };
    cmdClose.Create(*this, 4320, 240, 1215, 375, L"閉じる(&C)");
    Image1.BackColor = GetSysColor(COLOR_BTNFACE);
    Image1.Create(*this, 240, 240, 960, 960);
    lblName.Font = forms::FontOf(kCaptionFont, 12);
    lblName.Create(*this, 1440, 240, 1500, 240, L"Tamsel 2");
    lblVersion.AutoSize = true;
    lblVersion.Create(*this, 1440, 600, 1005, 180, L"Version");
    lblCopyright.Font = forms::FontOf(kCaptionFont, 9);
    lblCopyright.Create(*this, 1440, 1005, 2580, 165, L"© 2026 Tamsel2 の開発者");
}

void FrmVersion::Form_Load() {
    CenterOnScreen();
    Image1.SetPicture(forms::Picture::FromResource(IDR_LOGO));
    int major = 0, minor = 0, revision = 0;
    ProgramVersion(major, minor, revision);
    lblVersion.SetCaption(VersionLine(major, minor, revision));
}

void FrmVersion::cmdClose_Click() { Unload(); }

}  // namespace tamsel

#include "test_support.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "app/mdlTamsel.h"
#include "bench/literal_scaler.h"
#include "app/settings_store.h"
#include "engine/frmBackground.h"
#include "forms/form.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"

namespace testing_support {

std::wstring DataPath(const std::wstring& name) { return tamsel::ProgramFolder() + L"\\testdata\\" + name; }

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
    std::vector<uint8_t> out;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    LARGE_INTEGER size{};
    GetFileSizeEx(f, &size);
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!out.empty()) ReadFile(f, out.data(), static_cast<DWORD>(out.size()), &read, nullptr);
    CloseHandle(f);
    out.resize(read);
    return out;
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << "cannot write test file";
    DWORD wrote = 0;
    if (!bytes.empty()) WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
    CloseHandle(f);
}

namespace {
void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = dir + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}
}  // namespace

TempDir::TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    path_ = std::wstring(base) + L"tamsel-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() { RemoveTree(path_); }

void ClearStoredSettings() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Tamsel2");
}

std::optional<std::wstring> StoredValue(const std::wstring& section, const std::wstring& key) {
    std::wstring sentinel = L"\x1F<missing>";
    tamsel::RegistrySettingsStore store;
    std::wstring v = store.GetSetting(L"Tamsel2", section, key, sentinel);
    if (v == sentinel) return std::nullopt;
    return v;
}

void StoreValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    tamsel::RegistrySettingsStore().SaveSetting(L"Tamsel2", section, key, value);
}

MsgBoxRecorder::MsgBoxRecorder(int answer) {
    forms::SetMsgBoxHook([this, answer](const std::wstring& p, int s, const std::wstring& t) {
        calls.push_back({p, s, t});
        return answer;
    });
}
MsgBoxRecorder::~MsgBoxRecorder() { FailOnUnexpectedMessageBoxes(); }

void FailOnUnexpectedMessageBoxes() {
    forms::SetMsgBoxHook([](const std::wstring& prompt, int, const std::wstring& title) {
        ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(title) << " "
                      << testing::PrintToString(prompt);
        return IDOK;
    });
    // A file dialog nobody answers would wait for a user forever.
    forms::SetFileDialogHook([](const forms::CommonDialog&, bool) {
        ADD_FAILURE() << "unexpected file dialog";
        return std::optional<std::wstring>();
    });
}

FileDialogAnswer::FileDialogAnswer(std::optional<std::wstring> answer) {
    forms::SetFileDialogHook([this, answer](const forms::CommonDialog& d, bool) {
        ++shown;
        filter = d.Filter;
        filterIndex = d.FilterIndex;
        flags = d.Flags;
        cancelError = d.CancelError;
        return answer;
    });
}
FileDialogAnswer::~FileDialogAnswer() { FailOnUnexpectedMessageBoxes(); }

std::vector<uint8_t> PackedPixels(const forms::Picture& picture, int& width, int& height) {
    HBITMAP bmp = forms::RenderToBitmap(picture);
    BITMAP bm{};
    GetObjectW(bmp, sizeof bm, &bm);
    const int w = bm.bmWidth, h = bm.bmHeight;
    width = w, height = h;
    const int stride = (w * 3 + 3) & ~3;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * h);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bmp, 0, static_cast<UINT>(h), rows.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(bmp);
    std::vector<uint8_t> packed(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        std::memcpy(&packed[static_cast<size_t>(y) * w * 3], &rows[static_cast<size_t>(y) * stride], w * 3u);
    return packed;
}

bool IsHighQualityOf(const forms::Picture& shown, const forms::Picture& source, int percent) {
    int sw = 0, sh = 0, dw = 0, dh = 0;
    const std::vector<uint8_t> src = PackedPixels(source, sw, sh), got = PackedPixels(shown, dw, dh);
    std::vector<uint8_t> want(got.size());
    tamsel::LiteralSmoothResize(src.data(), sw, sh, want.data(), dw, dh, percent);
    return !got.empty() && got == want;
}

bool IsFastStretchOf(const forms::Picture& shown, const forms::Picture& source) {
    int dw = 0, dh = 0;
    const std::vector<uint8_t> got = PackedPixels(shown, dw, dh);
    HBITMAP from = forms::RenderToBitmap(source), to = forms::CreateDib24(dw, dh);
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HGDIOBJ oldA = SelectObject(a, from), oldB = SelectObject(b, to);
    BITMAP bm{};
    GetObjectW(from, sizeof bm, &bm);
    SetStretchBltMode(b, COLORONCOLOR);
    StretchBlt(b, 0, 0, dw, dh, a, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(a, oldA);
    SelectObject(b, oldB);
    DeleteDC(a);
    DeleteDC(b);
    DeleteObject(from);
    int w = 0, h = 0;
    const std::vector<uint8_t> want = PackedPixels(forms::Picture::FromBitmap(to), w, h);
    return !got.empty() && got == want;
}

uint32_t PixelOf(const forms::Picture& picture, int x, int y) {
    HBITMAP bmp = forms::RenderToBitmap(picture);
    if (!bmp) return 0xFFFFFFFF;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
    return (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

void PutTextOnClipboard(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(g), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(g);
    SetClipboardData(CF_UNICODETEXT, g);
    CloseClipboard();
}

void PutBitmapOnClipboard(int width, int height, uint32_t rgb) {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    HBRUSH brush = CreateSolidBrush(RGB((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255));
    RECT r{0, 0, width, height};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, bmp);
    CloseClipboard();
}

void EmptyTheClipboard() {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}

DWORD RunProcess(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 9999;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

void InstallTestPlugin(const std::wstring& name, const std::wstring& folder) {
#ifdef _WIN64
    const std::wstring file = name + L".sph";
#else
    const std::wstring file = name + L".spi";
#endif
    ASSERT_TRUE(CopyFileW((tamsel::ProgramFolder() + L"\\testplugins\\" + file).c_str(),
                          (folder + L"\\" + file).c_str(), FALSE));
}

bool InstallOtherKindPlugin(const std::wstring& name, const std::wstring& folder) {
#ifdef _WIN64
    const std::wstring file = name + L".spi";
#else
    const std::wstring file = name + L".sph";
#endif
    return CopyFileW((tamsel::ProgramFolder() + L"\\testplugins\\" + file).c_str(), (folder + L"\\" + file).c_str(),
                     FALSE) != FALSE;
}

void SetPluginFolder(const std::wstring& path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Obrinth\\Susie\\Plug-in", 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void ResetProgramState() {
    // No Susie plug-ins unless a test installs some.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth");
    tamsel::frmNormal.SwitchingForm = true;  // leaving without writing settings
    tamsel::frmNormal.Unload();
    tamsel::frmNormal.SwitchingForm = false;
    tamsel::frmNoTitleFrame.SwitchingForm = true;
    tamsel::frmNoTitleFrame.Unload();
    tamsel::frmNoTitleFrame.SwitchingForm = false;
    forms::SetPopupHook(nullptr);
    tamsel::frmBackground.Unload();
    tamsel::Settings = tamsel::SettingsRecord{};
    tamsel::SharedValues = tamsel::RunValues{};
    FailOnUnexpectedMessageBoxes();
}

HGLOBAL DropFileList(const std::vector<std::wstring>& names) {
    std::wstring packed;
    for (auto& n : names) packed += n + L'\0';
    packed += L'\0';
    HGLOBAL g = GlobalAlloc(GHND, sizeof(DROPFILES) + packed.size() * sizeof(wchar_t));
    auto* d = static_cast<DROPFILES*>(GlobalLock(g));
    d->pFiles = sizeof(DROPFILES);
    d->fWide = TRUE;
    std::memcpy(reinterpret_cast<uint8_t*>(d) + sizeof(DROPFILES), packed.data(), packed.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    return g;
}

void PressKey(HWND target, int vk, std::initializer_list<int> held) {
    BYTE state[256] = {};
    for (int h : held) state[h] = 0x80;
    SetKeyboardState(state);
    MSG m{};
    m.hwnd = target;
    m.message = WM_KEYDOWN;
    m.wParam = static_cast<WPARAM>(vk);
    forms::DispatchOne(m);
    BYTE none[256] = {};
    SetKeyboardState(none);
    PumpUntilRendered();
}

void PumpUntilRendered() {
    const ULONGLONG until = GetTickCount64() + 60000;
    while (tamsel::frmBackground.Rendering() && GetTickCount64() < until) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        forms::DoEvents();
    }
}

void Render(forms::Label* label) {
    tamsel::frmBackground.StartRender(nullptr, label);
    PumpUntilRendered();
}

std::vector<std::wstring> MenuItemTexts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
        // A drop-down's state holds its item count in the high byte, not flags.
        const bool separator = !GetSubMenu(menu, i) && (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR);
        texts.push_back(separator ? L"-" : text);
    }
    return texts;
}

bool MenuItemEnabled(HMENU menu, int position) {
    return !(GetMenuState(menu, position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
}

bool GoneWithin(DWORD pid, DWORD ms) {
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!p) return true;
    const bool gone = WaitForSingleObject(p, ms) == WAIT_OBJECT_0;
    CloseHandle(p);
    return gone;
}

EscapeLater::EscapeLater(DWORD ms)
    : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_([this, ms, target = GetCurrentThreadId()] {
          if (WaitForSingleObject(stop_, ms) == WAIT_TIMEOUT) PostThreadMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0);
      }) {}

EscapeLater::~EscapeLater() {
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
    }
}

// A ustar archive of the given members.
std::vector<uint8_t> Tar(const std::vector<std::pair<std::string, std::string>>& members) {
    std::vector<uint8_t> out;
    for (auto& [name, data] : members) {
        uint8_t h[512] = {};
        std::memcpy(h, name.c_str(), name.size());
        std::snprintf(reinterpret_cast<char*>(h + 100), 8, "%07o", 0644);
        std::snprintf(reinterpret_cast<char*>(h + 124), 12, "%011o", static_cast<unsigned>(data.size()));
        h[156] = '0';
        std::memcpy(h + 257, "ustar", 5);
        std::memset(h + 148, ' ', 8);
        unsigned sum = 0;
        for (uint8_t c : h) sum += c;
        std::snprintf(reinterpret_cast<char*>(h + 148), 8, "%06o", sum);
        out.insert(out.end(), h, h + 512);
        out.insert(out.end(), data.begin(), data.end());
        out.resize((out.size() + 511) / 512 * 512, 0);
    }
    out.resize(out.size() + 1024, 0);
    return out;
}

}  // namespace testing_support

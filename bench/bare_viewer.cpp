// tamsel2-bare PICTURE
// The least a program must do to show a picture file: decode it with the
// platform decoder and paint it once, top-left at its own size, in a window
// no larger than the screen. The start-up and memory benchmarks set the
// viewer beside it.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <string>

namespace {

IPicture* gPicture = nullptr;
int gWidth = 0, gHeight = 0;

IPicture* Decode(const wchar_t* path) {
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size{};
    GetFileSizeEx(f, &size);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size.QuadPart));
    DWORD read = 0;
    if (mem) {
        ReadFile(f, GlobalLock(mem), static_cast<DWORD>(size.QuadPart), &read, nullptr);
        GlobalUnlock(mem);
    }
    CloseHandle(f);
    IStream* stream = nullptr;
    if (!mem || read != size.QuadPart || FAILED(CreateStreamOnHGlobal(mem, TRUE, &stream))) return nullptr;
    IPicture* picture = nullptr;
    OleLoadPicture(stream, static_cast<LONG>(read), FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    stream->Release();
    return picture;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        OLE_XSIZE_HIMETRIC hw = 0;
        OLE_YSIZE_HIMETRIC hh = 0;
        gPicture->get_Width(&hw);
        gPicture->get_Height(&hh);
        gPicture->Render(dc, 0, 0, gWidth, gHeight, 0, hh, hw, -hh, nullptr);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    OleInitialize(nullptr);
    gPicture = Decode(commandLine);
    if (!gPicture) return 1;
    OLE_XSIZE_HIMETRIC hw = 0;
    OLE_YSIZE_HIMETRIC hh = 0;
    gPicture->get_Width(&hw);
    gPicture->get_Height(&hh);
    HDC screen = GetDC(nullptr);
    gWidth = MulDiv(hw, GetDeviceCaps(screen, LOGPIXELSX), 2540);
    gHeight = MulDiv(hh, GetDeviceCaps(screen, LOGPIXELSY), 2540);
    ReleaseDC(nullptr, screen);

    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = L"Tamsel2Bare";
    RegisterClassW(&wc);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT r{0, 0, gWidth, gHeight};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    const int w = std::min<int>(r.right - r.left, work.right - work.left);
    const int h = std::min<int>(r.bottom - r.top, work.bottom - work.top);
    HWND hwnd = CreateWindowW(L"Tamsel2Bare", commandLine, WS_OVERLAPPEDWINDOW, work.left, work.top, w, h, nullptr,
                              nullptr, instance, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    gPicture->Release();
    OleUninitialize();
    return 0;
}

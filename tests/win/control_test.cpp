// The control SusiePlugin as its users reach it: registered with regsvr32,
// created by its ProgID, called late-bound through IDispatch.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/mdlTamsel.h"
#include "pluginhost/control/registration.h"
#include "test_support.h"

using namespace testing_support;

namespace {

std::wstring Dll() { return tamsel::ProgramFolder() + L"\\Quillmount.dll"; }

// Late-bound calls by identifier.
struct Call {
    HRESULT hr;
    VARIANT result;
    EXCEPINFO excep;
};

Call Invoke(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args = {}) {
    Call c{};
    VariantInit(&c.result);
    DISPPARAMS p{};
    p.cArgs = static_cast<UINT>(args.size());
    p.rgvarg = args.empty() ? nullptr : args.data();
    DISPID named = DISPID_PROPERTYPUT;
    if (flags == DISPATCH_PROPERTYPUT) {
        p.cNamedArgs = 1;
        p.rgdispidNamedArgs = &named;
    }
    c.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &p, &c.result, &c.excep, nullptr);
    return c;
}

VARIANT Text(const std::wstring& s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s.c_str());
    return v;
}

// An event sink: any Invoke of the event interface runs the handler.
class Sink : public IDispatch {
public:
    std::function<void()> onProgress;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == 1) {
            ++events;
            if (onProgress) onProgress();
        }
        return S_OK;
    }
    ULONG refs = 1;
    int events = 0;
};

class ControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RunProcess(L"regsvr32.exe /s \"" + Dll() + L"\""), 0u); }
    void SetUp() override {
        InstallTestPlugin(L"pnm", plugins.path());
        SetPluginFolder(plugins.path());
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(L"Quillmount.SusiePlugin", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&control)),
                  S_OK);
    }
    void TearDown() override {
        if (control) control->Release();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth");
    }
    IDispatch* control = nullptr;
    TempDir plugins, files;
};

// Runs a program and returns what it wrote to its standard output.
std::string Output(const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &sa, 0)) return "";
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = write;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    std::string out;
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(write);
        write = nullptr;
        char buf[4096];
        DWORD n = 0;
        while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (write) CloseHandle(write);
    CloseHandle(read);
    return out;
}

// LoadSusiePicture of a file, late-bound: pixel (x, y) of the picture object
// it returns; nothing when the call failed or returned no picture.
std::optional<uint32_t> LoadedPixel(IDispatch* control, const std::wstring& file, int x, int y) {
    Call l = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(file)});
    std::optional<uint32_t> pixel;
    IPicture* pic = nullptr;
    if (l.hr == S_OK && V_VT(&l.result) == VT_DISPATCH && V_DISPATCH(&l.result) &&
        SUCCEEDED(V_DISPATCH(&l.result)->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&pic))))
        pixel = PixelOf(forms::Picture(pic, false), x, y);
    VariantClear(&l.result);
    return pixel;
}

std::vector<uint8_t> TallPpm() {  // 1 x 120, reported row by row
    std::string s = "P6 1 120 255\n";
    s.append(360, '\x7f');
    return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace

TEST_F(ControlTest, MembersResolveByNameToTheirIdentifiers) {
    const std::pair<const wchar_t*, DISPID> members[] = {
        {L"ProgressMax", 0x68030003}, {L"ProgressValue", 0x68030002},    {L"LoadCancel", 0x68030001},
        {L"AllPicturesFilter", 0x68030000}, {L"Start", 0x60030005}, {L"LoadSusiePicture", 0x60030008}};
    for (auto [name, id] : members) {
        DISPID got = 0;
        LPOLESTR n = const_cast<LPOLESTR>(name);
        ASSERT_EQ(control->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &got), S_OK) << name;
        EXPECT_EQ(got, id) << name;
    }
}

TEST_F(ControlTest, BeforeStartOnlyBitmapsAreNamedAndNothingLoads) {
    Call f = Invoke(control, 0x68030000, DISPATCH_PROPERTYGET);
    ASSERT_EQ(f.hr, S_OK);
    EXPECT_STREQ(V_BSTR(&f.result), L"*.bmp;");
    VariantClear(&f.result);
    Call l = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(DataPath(L"sample.bmp"))});
    EXPECT_EQ(l.hr, S_OK);
    EXPECT_EQ(V_VT(&l.result), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&l.result), nullptr);
}

TEST_F(ControlTest, StartFindsThePluginsAndPicturesLoadWithProgressEvents) {
    ASSERT_EQ(Invoke(control, 0x60030005, DISPATCH_METHOD).hr, S_OK);
    Call f = Invoke(control, 0x68030000, DISPATCH_PROPERTYGET);
    EXPECT_STREQ(V_BSTR(&f.result), L"*.bmp;*.ppm;*.pgm");
    VariantClear(&f.result);

    IConnectionPointContainer* cpc = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
    IProvideClassInfo2* pci = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&pci)), S_OK);
    IID events{};
    ASSERT_EQ(pci->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    pci->Release();
    IConnectionPoint* cp = nullptr;
    ASSERT_EQ(cpc->FindConnectionPoint(events, &cp), S_OK);
    cpc->Release();
    Sink sink;
    long seenValue = -1, seenMax = -1;
    sink.onProgress = [&] {
        Call v = Invoke(control, 0x68030002, DISPATCH_PROPERTYGET);
        Call m = Invoke(control, 0x68030003, DISPATCH_PROPERTYGET);
        if (V_I4(&v.result) == 30) seenValue = V_I4(&v.result), seenMax = V_I4(&m.result);
    };
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(&sink, &cookie), S_OK);
    {
        // The points and their connections can be listed, as containers do.
        IConnectionPointContainer* c2 = nullptr;
        ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&c2)), S_OK);
        IEnumConnectionPoints* points = nullptr;
        ASSERT_EQ(c2->EnumConnectionPoints(&points), S_OK);
        IConnectionPoint* listed[2] = {};
        ULONG got = 0;
        EXPECT_EQ(points->Next(2, listed, &got), S_FALSE);
        ASSERT_EQ(got, 1u);
        IID iid{};
        listed[0]->GetConnectionInterface(&iid);
        EXPECT_EQ(iid, events);
        listed[0]->Release();
        points->Release();
        c2->Release();
        IEnumConnections* connections = nullptr;
        ASSERT_EQ(cp->EnumConnections(&connections), S_OK);
        CONNECTDATA data[2] = {};
        EXPECT_EQ(connections->Next(2, data, &got), S_FALSE);
        ASSERT_EQ(got, 1u);
        EXPECT_EQ(data[0].dwCookie, cookie);
        data[0].pUnk->Release();
        connections->Release();
    }

    WriteBytes(files / L"tall.ppm", TallPpm());
    EXPECT_EQ(LoadedPixel(control, files / L"tall.ppm", 0, 119), 0x7F7F7Fu);
    EXPECT_EQ(seenValue, 30);
    EXPECT_EQ(seenMax, 120);
    EXPECT_GT(sink.events, 30);

    // A bitmap the platform reads raises no event.
    const int before = sink.events;
    Call b = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(DataPath(L"sample.bmp"))});
    EXPECT_EQ(b.hr, S_OK);
    EXPECT_NE(V_DISPATCH(&b.result), nullptr);
    VariantClear(&b.result);
    EXPECT_EQ(sink.events, before);

    // Cancel from inside the event: the plug-in hears it with its next report
    // (row 2, after row 0), stops there, and there is no picture and no error.
    std::vector<long> heard;
    sink.onProgress = [&] {
        Call v = Invoke(control, 0x68030002, DISPATCH_PROPERTYGET);
        heard.push_back(V_I4(&v.result));
        VARIANT t;
        V_VT(&t) = VT_BOOL;
        V_BOOL(&t) = VARIANT_TRUE;
        Invoke(control, 0x68030001, DISPATCH_PROPERTYPUT, {t});
    };
    Call c = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(files / L"tall.ppm")});
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(V_DISPATCH(&c.result), nullptr);
    EXPECT_EQ(heard, (std::vector<long>{0, 2}));
    // A cancel asked for with the last report comes too late: the picture is there.
    heard.clear();
    sink.onProgress = [&] {
        Call v = Invoke(control, 0x68030002, DISPATCH_PROPERTYGET);
        heard.push_back(V_I4(&v.result));
        if (V_I4(&v.result) < 120) return;
        VARIANT t;
        V_VT(&t) = VT_BOOL;
        V_BOOL(&t) = VARIANT_TRUE;
        Invoke(control, 0x68030001, DISPATCH_PROPERTYPUT, {t});
    };
    Call late = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(files / L"tall.ppm")});
    EXPECT_NE(V_DISPATCH(&late.result), nullptr);
    VariantClear(&late.result);
    EXPECT_EQ(heard.size(), 61u);
    // The next load resets the request.
    sink.onProgress = nullptr;
    Call again = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(files / L"tall.ppm")});
    EXPECT_NE(V_DISPATCH(&again.result), nullptr);
    VariantClear(&again.result);

    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    cp->Release();
    EXPECT_EQ(sink.refs, 1u);
}

TEST_F(ControlTest, AnUnsupportedFileIsAnErrorWithItsNumberAndText) {
    ASSERT_EQ(Invoke(control, 0x60030005, DISPATCH_METHOD).hr, S_OK);
    WriteBytes(files / L"notes.txt", {'n', 'o', 'p', 'e'});
    Call e = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(files / L"notes.txt")});
    ASSERT_EQ(e.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(e.excep.scode, static_cast<SCODE>(0x80040001));
    ASSERT_NE(e.excep.bstrDescription, nullptr);
    EXPECT_STREQ(e.excep.bstrDescription, L"未対応フォーマットファイル");
    SysFreeString(e.excep.bstrDescription);
    SysFreeString(e.excep.bstrSource);
    SysFreeString(e.excep.bstrHelpFile);

    // Plug-ins of the other bitness whose host cannot run might have read the
    // file: the text says why they were not asked.
#ifdef _WIN64
    const std::wstring other = L"QuillmountHost32.exe", otherKind = L".spi";
#else
    const std::wstring other = L"QuillmountHost64.exe", otherKind = L".sph";
#endif
    const std::wstring program = Dll().substr(0, Dll().find_last_of(L'\\') + 1) + other, away = program + L".away";
    struct Restore {
        std::wstring from, to;
        ~Restore() { MoveFileW(from.c_str(), to.c_str()); }
    } restore{away, program};
    MoveFileW(program.c_str(), away.c_str());
    WriteBytes(plugins / (L"foreign" + otherKind), {'M', 'Z'});
    ASSERT_EQ(Invoke(control, 0x60030005, DISPATCH_METHOD).hr, S_OK);
    Call left = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(files / L"notes.txt")});
    ASSERT_EQ(left.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(left.excep.scode, static_cast<SCODE>(0x80040001));
    ASSERT_NE(left.excep.bstrDescription, nullptr);
    EXPECT_EQ(std::wstring(left.excep.bstrDescription),
              L"未対応フォーマットファイル\r\nプラグインホスト " + other + L" が見つかりません");
    SysFreeString(left.excep.bstrDescription);
    SysFreeString(left.excep.bstrSource);
    SysFreeString(left.excep.bstrHelpFile);

    Call empty = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(L"")});
    EXPECT_EQ(empty.hr, S_OK);
    EXPECT_EQ(V_DISPATCH(&empty.result), nullptr);
}

TEST_F(ControlTest, TheLibraryCanUnloadOnceEveryObjectIsReleased) {
    HMODULE m = GetModuleHandleW(Dll().c_str());
    ASSERT_NE(m, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(m, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    EXPECT_EQ(control->Release(), 0u);
    control = nullptr;
    EXPECT_EQ(canUnload(), S_OK);
}

// The machine's classes as one bitness's programs see them.
std::wstring MachineClassValue(const std::wstring& key, REGSAM view) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf;
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), 0, KEY_READ | view, &k) !=
        ERROR_SUCCESS)
        return L"<missing>";
    const LSTATUS st = RegQueryValueExW(k, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    return st == ERROR_SUCCESS ? buf : L"<missing>";
}

// regsvr32 as a program of this build starts it registers the control in the
// registry view of this build's bitness, where programs of the same bitness
// look, and names this build's library, never in the other view.
TEST_F(ControlTest, RegistrationLandsInTheViewOfItsOwnBitness) {
    const std::wstring key = L"CLSID\\{6F1D2B0E-3A4C-4D5E-9B71-2C8E5A9D4F13}\\InprocServer32";
#ifdef _WIN64
    const REGSAM own = KEY_WOW64_64KEY, other = KEY_WOW64_32KEY;
#else
    const REGSAM own = KEY_WOW64_32KEY, other = KEY_WOW64_64KEY;
#endif
    EXPECT_EQ(MachineClassValue(key, own), Dll());
    EXPECT_NE(MachineClassValue(key, other), Dll());
}

TEST_F(ControlTest, AScriptHostUsesTheControlLateBound) {
    WriteBytes(files / L"tall.ppm", TallPpm());
    WriteBytes(files / L"notes.txt", {'n', 'o'});
    const std::string out = Output(L"cscript.exe //nologo \"" + DataPath(L"late_bound.js") + L"\" \"" +
                                   (files / L"tall.ppm") + L"\" \"" + (files / L"notes.txt") + L"\"");
    EXPECT_NE(out.find("filter *.bmp;*.ppm;*.pgm"), std::string::npos) << out;
    // 1 x 120 pixels at 96 dpi in HIMETRIC: 26 x 3175; the last report was 120 of 120.
    EXPECT_NE(out.find("picture 26x3175 progress 120/120"), std::string::npos) << out;
    EXPECT_NE(out.find("error 80040001"), std::string::npos) << out;
    // The script host of this build's bitness: the other one would reach the other build's control.
    std::string host = out.substr(0, out.find('\n'));
    for (char& ch : host) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
#ifdef _WIN64
    EXPECT_NE(host.find("\\system32\\cscript.exe"), std::string::npos) << out;
#else
    EXPECT_NE(host.find("\\syswow64\\cscript.exe"), std::string::npos) << out;
#endif
}

namespace {
HWND gFound = nullptr;
BOOL CALLBACK FindControlWindow(HWND h, LPARAM) {
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    if (std::wstring(name) == L"QuillmountSusiePlugin") {
        gFound = h;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

TEST_F(ControlTest, AContainerSitesItAtAFixedSizeAndItDrawsAFrame) {
    IOleObject* ole = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    SIZEL asked{5000, 3000};
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &asked), S_OK);
    SIZEL size{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 847);  // 480 twips
    EXPECT_EQ(size.cy, 847);
    ole->Release();

    IViewObject2* view = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
    void* bits = nullptr;
    HBITMAP bmp = forms::CreateDib24(40, 40, &bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECTL bounds{4, 4, 36, 36};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(GetPixel(dc, 4, 20), GetSysColor(COLOR_BTNSHADOW));  // the frame
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 0, 0));                   // nothing outside it
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
    view->Release();

    // The platform's own control container hosts it.
    HMODULE atl = LoadLibraryW(L"atl.dll");
    ASSERT_NE(atl, nullptr);
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto create = reinterpret_cast<HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControl")));
    auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    ASSERT_TRUE(init && create && getControl);
    ASSERT_TRUE(init());
    HWND parent = CreateWindowExW(0, L"AtlAxWin", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    IUnknown* container = nullptr;
    ASSERT_EQ(create(L"Quillmount.SusiePlugin", parent, nullptr, &container), S_OK);
    IUnknown* hosted = nullptr;
    ASSERT_EQ(getControl(parent, &hosted), S_OK);
    IDispatch* d = nullptr;
    ASSERT_EQ(hosted->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)), S_OK);
    EXPECT_EQ(Invoke(d, 0x60030005, DISPATCH_METHOD).hr, S_OK);
    Call f = Invoke(d, 0x68030000, DISPATCH_PROPERTYGET);
    EXPECT_STREQ(V_BSTR(&f.result), L"*.bmp;*.ppm;*.pgm");
    VariantClear(&f.result);
    gFound = nullptr;
    EnumChildWindows(parent, &FindControlWindow, 0);
    ASSERT_NE(gFound, nullptr);
    RECT r;
    GetClientRect(gFound, &r);
    EXPECT_EQ(r.right, 32);  // 480 twips at 96 dpi, though the host is larger
    EXPECT_EQ(r.bottom, 32);
    d->Release();
    hosted->Release();
    if (container) container->Release();
    DestroyWindow(parent);
}

namespace {
std::wstring UserClassValue(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), name, RRF_RT_REG_SZ, nullptr, buf,
                     &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}
}  // namespace

// Without write access to the machine's classes the control registers for the
// user; the system here does not read those keys, so they are checked as written.
TEST(ControlRegistration, ForTheUserTheKeysGoUnderTheUsersClasses) {
    const std::wstring clsid = L"{6F1D2B0E-3A4C-4D5E-9B71-2C8E5A9D4F13}";
    ASSERT_EQ(quillmount::RegisterControl(Dll(), false), S_OK);
    EXPECT_EQ(UserClassValue(L"Quillmount.SusiePlugin\\CLSID"), clsid);
    EXPECT_EQ(UserClassValue(L"CLSID\\" + clsid + L"\\InprocServer32"), Dll());
    EXPECT_EQ(UserClassValue(L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(UserClassValue(L"CLSID\\" + clsid + L"\\ProgID"), L"Quillmount.SusiePlugin");
    EXPECT_EQ(UserClassValue(L"CLSID\\" + clsid + L"\\TypeLib"), L"{6F1D2B0E-3A4C-4D5E-9B71-2C8E5A9D4F10}");
    ASSERT_EQ(quillmount::UnregisterControl(), S_OK);
    EXPECT_EQ(UserClassValue(L"Quillmount.SusiePlugin\\CLSID"), L"<missing>");
    CLSID found;
    EXPECT_NE(CLSIDFromProgID(L"Quillmount.SusiePlugin", &found), S_OK);
    // Back to the machine's registration the other tests use.
    EXPECT_EQ(RunProcess(L"regsvr32.exe /s \"" + Dll() + L"\""), 0u);
    EXPECT_EQ(CLSIDFromProgID(L"Quillmount.SusiePlugin", &found), S_OK);

    // As an installer for one user registers it: for the user even where the
    // machine's classes are writable, and taken back without touching the machine's.
    EXPECT_EQ(RunProcess(L"regsvr32.exe /s /n /i:user \"" + Dll() + L"\""), 0u);
    EXPECT_EQ(UserClassValue(L"CLSID\\" + clsid + L"\\InprocServer32"), Dll());
    EXPECT_EQ(UserClassValue(L"Quillmount.SusiePlugin\\CLSID"), clsid);
    EXPECT_EQ(RunProcess(L"regsvr32.exe /s /u /n /i:user \"" + Dll() + L"\""), 0u);
    EXPECT_EQ(UserClassValue(L"Quillmount.SusiePlugin\\CLSID"), L"<missing>");
    EXPECT_EQ(CLSIDFromProgID(L"Quillmount.SusiePlugin", &found), S_OK);  // the machine's stays
    EXPECT_NE(RunProcess(L"regsvr32.exe /s /n /i:everyone \"" + Dll() + L"\""), 0u);
}

namespace {
// Connects a sink to the control's event; the point to disconnect from later.
IConnectionPoint* Connect(IDispatch* control, Sink& sink, DWORD& cookie) {
    IProvideClassInfo2* pci = nullptr;
    IConnectionPointContainer* cpc = nullptr;
    IConnectionPoint* cp = nullptr;
    IID events{};
    if (SUCCEEDED(control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&pci)))) {
        pci->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events);
        pci->Release();
    }
    if (SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)))) {
        cpc->FindConnectionPoint(events, &cp);
        cpc->Release();
    }
    if (cp && FAILED(cp->Advise(&sink, &cookie))) {
        cp->Release();
        cp = nullptr;
    }
    return cp;
}
}  // namespace

// Plug-ins of the other bitness through the control, as its callers see
// them: in the filter after the control's own kind, with progress events and
// the cancel; a plug-in that crashes is a file nobody reads.
TEST_F(ControlTest, PluginsOfBothBitnessesWorkThroughTheControlAndACrashIsAnUnreadableFile) {
    TempDir mixed;
    if (!InstallOtherKindPlugin(L"pnm", mixed.path()))
        GTEST_SKIP() << "no plug-ins of the other bitness beside this build (the machine runs no 32-bit programs)";
    InstallTestPlugin(L"crash_decode", mixed.path());
    SetPluginFolder(mixed.path());
    ASSERT_EQ(Invoke(control, 0x60030005, DISPATCH_METHOD).hr, S_OK);
    Call f = Invoke(control, 0x68030000, DISPATCH_PROPERTYGET);
    EXPECT_STREQ(V_BSTR(&f.result), L"*.bmp;*.crsh;*.ppm;*.pgm");
    VariantClear(&f.result);

    Sink sink;
    long lastValue = -1, lastMax = -1;
    sink.onProgress = [&] {
        Call v = Invoke(control, 0x68030002, DISPATCH_PROPERTYGET);
        Call m = Invoke(control, 0x68030003, DISPATCH_PROPERTYGET);
        lastValue = V_I4(&v.result), lastMax = V_I4(&m.result);
    };
    DWORD cookie = 0;
    IConnectionPoint* cp = Connect(control, sink, cookie);
    ASSERT_NE(cp, nullptr);
    WriteBytes(files / L"tall.ppm", TallPpm());
    EXPECT_EQ(LoadedPixel(control, files / L"tall.ppm", 0, 119), 0x7F7F7Fu);
    EXPECT_EQ(sink.events, 61);  // every report of the plug-in, every other row of 120 and the last
    EXPECT_EQ(lastValue, 120);
    EXPECT_EQ(lastMax, 120);

    sink.onProgress = [&] {
        VARIANT t;
        V_VT(&t) = VT_BOOL;
        V_BOOL(&t) = VARIANT_TRUE;
        Invoke(control, 0x68030001, DISPATCH_PROPERTYPUT, {t});
    };
    sink.events = 0;
    Call c = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(files / L"tall.ppm")});
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(V_DISPATCH(&c.result), nullptr);
    EXPECT_EQ(sink.events, 2);  // the report that asked, and the next one, which carried the cancel
    sink.onProgress = nullptr;

    WriteBytes(files / L"bad.crsh", {'C', 'R', 'S', 'H'});
    Call e = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(files / L"bad.crsh")});
    ASSERT_EQ(e.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(e.excep.scode, static_cast<SCODE>(0x80040001));
    SysFreeString(e.excep.bstrDescription);
    SysFreeString(e.excep.bstrSource);
    SysFreeString(e.excep.bstrHelpFile);
    Call again = Invoke(control, 0x60030008, DISPATCH_METHOD, {Text(files / L"tall.ppm")});
    EXPECT_NE(V_DISPATCH(&again.result), nullptr);
    VariantClear(&again.result);
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    cp->Release();
}

// The control in a folder beyond 260 characters, loaded from there as the
// viewer loads the one beside it: it finds its own path whole, and with it
// its type library (its members resolve and are called) and its host program.
TEST_F(ControlTest, FromAFolderBeyond260CharactersItsTypeLibraryAndPluginsAreFound) {
    TempDir root;
    std::wstring folder = root.path();
    while (folder.size() < 300) {
        folder += L"\\a-folder-of-a-program-installed-deep-down-" + std::to_wstring(folder.size());
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring here = tamsel::ProgramFolder();
    for (const wchar_t* name : {L"Quillmount.dll", L"QuillmountHost64.exe", L"QuillmountHost32.exe"})
        CopyFileW((here + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
    HMODULE library = LoadLibraryW((folder + L"\\Quillmount.dll").c_str());
    ASSERT_NE(library, nullptr) << GetLastError();
    wchar_t loaded[1024] = {};
    GetModuleFileNameW(library, loaded, 1024);
    ASSERT_EQ(loaded, folder + L"\\Quillmount.dll");  // that copy, not the one registered

    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    ASSERT_NE(get, nullptr);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Quillmount.SusiePlugin", &clsid), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IDispatch* deep = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&deep)), S_OK);
    factory->Release();

    ITypeInfo* info = nullptr;
    EXPECT_EQ(deep->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    if (info) info->Release();
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"LoadSusiePicture");
    EXPECT_EQ(deep->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 0x60030008);
    ASSERT_EQ(Invoke(deep, 0x60030005, DISPATCH_METHOD).hr, S_OK);
    WriteBytes(files / L"tall.ppm", TallPpm());
    EXPECT_EQ(LoadedPixel(deep, files / L"tall.ppm", 0, 119), 0x7F7F7Fu);
    deep->Release();

    // Registered from there (as regsvr32 /n /i:user does), under its whole name.
    const std::wstring clsidKey = L"CLSID\\{6F1D2B0E-3A4C-4D5E-9B71-2C8E5A9D4F13}\\InprocServer32";
    EXPECT_EQ(quillmount::RegisterControl(folder + L"\\Quillmount.dll", false), S_OK);
    EXPECT_EQ(UserClassValue(clsidKey), folder + L"\\Quillmount.dll");
    EXPECT_EQ(quillmount::UnregisterControlForUser(), S_OK);
}

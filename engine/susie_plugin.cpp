#include "engine/susie_plugin.h"

#include <ocidl.h>
#include <olectl.h>

#include "app/mdlTamsel.h"

namespace tamsel {
namespace {

// The control's class and members, as its type library gives them.
constexpr CLSID kSusiePluginClass = {0x6f1d2b0e, 0x3a4c, 0x4d5e, {0x9b, 0x71, 0x2c, 0x8e, 0x5a, 0x9d, 0x4f, 0x13}};
constexpr DISPID kProgressMax = 0x68030003;
constexpr DISPID kProgressValue = 0x68030002;
constexpr DISPID kLoadCancel = 0x68030001;
constexpr DISPID kAllPicturesFilter = 0x68030000;
constexpr DISPID kStart = 0x60030005;
constexpr DISPID kLoadSusiePicture = 0x60030008;
constexpr DISPID kAllArchivesFilter = 0x60030010;
constexpr DISPID kListArchive = 0x60030011;
constexpr DISPID kExtractArchiveEntry = 0x60030012;
constexpr DISPID kReadAhead = 0x60030013;
constexpr DISPID kReadAheadState = 0x60030014;
constexpr DISPID kProgressValueChange = 1;

}  // namespace

// Receives the control's event and hands it to the engine's handler.
class SusiePluginHost::EventSink final : public IDispatch {
public:
    explicit EventSink(SusiePluginHost& host) : host_(&host) {}
    void Detach() { host_ = nullptr; }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == events_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == kProgressValueChange && host_ && host_->ProgressValueChange) host_->ProgressValueChange();
        return S_OK;
    }
    IID events_ = IID_NULL;

private:
    LONG refs_ = 1;
    SusiePluginHost* host_;
};

SusiePluginHost::~SusiePluginHost() { Destroy(); }

bool SusiePluginHost::Create() {
    Destroy();
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(L"Quillmount.SusiePlugin", &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&live_.control));
    if (!live_.control) {
        // Not registered: the library beside the program, through its class factory.
        live_.library = LoadLibraryW((ProgramFolder() + L"\\Quillmount.dll").c_str());
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        auto get = live_.library ? reinterpret_cast<GetClassObject>(
                                  reinterpret_cast<void*>(GetProcAddress(live_.library, "DllGetClassObject")))
                            : nullptr;
        IClassFactory* factory = nullptr;
        if (get && SUCCEEDED(get(kSusiePluginClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
            factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&live_.control));
            factory->Release();
        }
        if (!live_.control && live_.library) {
            FreeLibrary(live_.library);
            live_.library = nullptr;
        }
    }
    if (!live_.control) return false;

    // The event, through the connection point the control names as its default source.
    IProvideClassInfo2* info = nullptr;
    IConnectionPointContainer* container = nullptr;
    live_.sink = new EventSink(*this);
    if (SUCCEEDED(live_.control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)))) {
        info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &live_.sink->events_);
        info->Release();
    }
    if (SUCCEEDED(live_.control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
        if (SUCCEEDED(container->FindConnectionPoint(live_.sink->events_, &live_.point)) && FAILED(live_.point->Advise(live_.sink, &live_.cookie))) {
            live_.point->Release();
            live_.point = nullptr;
        }
        container->Release();
    }
    return true;
}

void SusiePluginHost::Release(Parts& parts) {
    if (parts.point) {
        parts.point->Unadvise(parts.cookie);
        parts.point->Release();
    }
    if (parts.sink) parts.sink->Release();
    if (parts.control) parts.control->Release();
    if (parts.library) FreeLibrary(parts.library);
    parts = Parts();
}

void SusiePluginHost::Destroy() {
    if (live_.sink) live_.sink->Detach();  // no event reaches the engine any more
    if (calls_ > 0) {
        retired_.push_back(live_);
        live_ = Parts();
        return;
    }
    Release(live_);
}

HRESULT SusiePluginHost::Call(DISPID id, WORD flags, VARIANT* arg, VARIANT* result, EXCEPINFO* excep, UINT args) const {
    if (!live_.control) return E_NOINTERFACE;
    DISPPARAMS params{};
    DISPID named = DISPID_PROPERTYPUT;
    if (arg) {
        params.cArgs = args;
        params.rgvarg = arg;
    }
    if (flags == DISPATCH_PROPERTYPUT) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &named;
    }
    ++calls_;
    const HRESULT hr = live_.control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, excep, nullptr);
    if (--calls_ == 0)
        while (!retired_.empty()) {
            Parts parts = retired_.back();
            retired_.pop_back();
            Release(parts);
        }
    return hr;
}

void SusiePluginHost::Start() { Call(kStart, DISPATCH_METHOD, nullptr, nullptr, nullptr); }

std::wstring SusiePluginHost::AllPicturesFilter() const {
    VARIANT v;
    VariantInit(&v);
    std::wstring filter = L"*.bmp;";  // what a host without plug-ins offers
    if (SUCCEEDED(Call(kAllPicturesFilter, DISPATCH_PROPERTYGET, nullptr, &v, nullptr)) && V_VT(&v) == VT_BSTR)
        filter.assign(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
    VariantClear(&v);
    return filter;
}

namespace {

VARIANT Text(const std::wstring& s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return v;
}

// The control's error number from an exception it raised, its texts freed.
HRESULT Raised(HRESULT hr, EXCEPINFO& excep) {
    if (hr != DISP_E_EXCEPTION) return hr;
    hr = excep.scode ? excep.scode : E_FAIL;
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
    return hr;
}

}  // namespace

std::wstring SusiePluginHost::AllArchivesFilter() const {
    VARIANT v;
    VariantInit(&v);
    std::wstring filter;
    if (SUCCEEDED(Call(kAllArchivesFilter, DISPATCH_PROPERTYGET, nullptr, &v, nullptr)) && V_VT(&v) == VT_BSTR)
        filter.assign(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
    VariantClear(&v);
    return filter;
}

HRESULT SusiePluginHost::ListArchive(const std::wstring& file, std::vector<std::wstring>& entries) {
    entries.clear();
    if (!live_.control) return kUnsupportedFormat;
    VARIANT arg = Text(file), result;
    VariantInit(&result);
    EXCEPINFO excep{};
    HRESULT hr = Raised(Call(kListArchive, DISPATCH_METHOD, &arg, &result, &excep), excep);
    VariantClear(&arg);
    if (SUCCEEDED(hr)) {
        hr = kUnsupportedFormat;
        LONG low = 0, high = -1;
        if (V_VT(&result) == (VT_ARRAY | VT_BSTR) && V_ARRAY(&result) && SafeArrayGetDim(V_ARRAY(&result)) == 1 &&
            SUCCEEDED(SafeArrayGetLBound(V_ARRAY(&result), 1, &low)) &&
            SUCCEEDED(SafeArrayGetUBound(V_ARRAY(&result), 1, &high))) {
            for (LONG i = low; i <= high; ++i) {
                BSTR s = nullptr;
                if (SUCCEEDED(SafeArrayGetElement(V_ARRAY(&result), &i, &s))) {
                    entries.emplace_back(s ? s : L"", s ? SysStringLen(s) : 0);
                    SysFreeString(s);
                }
            }
            hr = S_OK;
        }
    }
    VariantClear(&result);
    return hr;
}

HRESULT SusiePluginHost::ExtractArchiveEntry(const std::wstring& file, const std::wstring& entry,
                                             const std::wstring& folder, std::wstring& path) {
    path.clear();
    if (!live_.control) return kUnsupportedFormat;
    VARIANT args[3] = {Text(folder), Text(entry), Text(file)};  // the last argument first
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep{};
    HRESULT hr = Raised(Call(kExtractArchiveEntry, DISPATCH_METHOD, args, &result, &excep, 3), excep);
    for (VARIANT& a : args) VariantClear(&a);
    if (SUCCEEDED(hr)) {
        if (V_VT(&result) == VT_BSTR && V_BSTR(&result)) path.assign(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
        else hr = kUnsupportedFormat;
    }
    VariantClear(&result);
    return hr;
}

HRESULT SusiePluginHost::LoadSusiePicture(const std::wstring& newFile, forms::Picture& out) {
    if (!live_.control) return kUnsupportedFormat;
    VARIANT arg, result;
    VariantInit(&result);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocStringLen(newFile.data(), static_cast<UINT>(newFile.size()));
    EXCEPINFO excep{};
    HRESULT hr = Call(kLoadSusiePicture, DISPATCH_METHOD, &arg, &result, &excep);
    VariantClear(&arg);
    if (hr == DISP_E_EXCEPTION) {
        hr = excep.scode ? excep.scode : E_FAIL;
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrHelpFile);
    } else if (SUCCEEDED(hr)) {
        IPicture* picture = nullptr;
        hr = S_FALSE;
        if ((V_VT(&result) == VT_DISPATCH || V_VT(&result) == VT_UNKNOWN) && V_UNKNOWN(&result) &&
            SUCCEEDED(V_UNKNOWN(&result)->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&picture)))) {
            out = forms::Picture(picture, false);
            hr = S_OK;
        }
    }
    VariantClear(&result);
    return hr;
}

int32_t SusiePluginHost::ProgressValue() const {
    VARIANT v;
    VariantInit(&v);
    Call(kProgressValue, DISPATCH_PROPERTYGET, nullptr, &v, nullptr);
    return V_VT(&v) == VT_I4 ? V_I4(&v) : 0;
}

int32_t SusiePluginHost::ProgressMax() const {
    VARIANT v;
    VariantInit(&v);
    Call(kProgressMax, DISPATCH_PROPERTYGET, nullptr, &v, nullptr);
    return V_VT(&v) == VT_I4 ? V_I4(&v) : 0;
}

bool SusiePluginHost::ReadAhead(const std::wstring& file) {
    if (!live_.control) return false;
    VARIANT arg = Text(file), result;
    VariantInit(&result);
    const HRESULT hr = Call(kReadAhead, DISPATCH_METHOD, &arg, &result, nullptr);
    VariantClear(&arg);
    // A control of another make may answer anything: only a True counts.
    const bool reading = SUCCEEDED(hr) && V_VT(&result) == VT_BOOL && V_BOOL(&result) != VARIANT_FALSE;
    VariantClear(&result);
    return reading;
}

int SusiePluginHost::ReadAheadState() const {
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = Call(kReadAheadState, DISPATCH_PROPERTYGET, nullptr, &result, nullptr);
    const int state = SUCCEEDED(hr) && V_VT(&result) == VT_I4 && V_I4(&result) >= 0 && V_I4(&result) <= 3 ? V_I4(&result) : 3;
    VariantClear(&result);
    return state;
}

void SusiePluginHost::SetLoadCancel(bool cancel) {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    Call(kLoadCancel, DISPATCH_PROPERTYPUT, &v, nullptr, nullptr);
}

}  // namespace tamsel

#include "pluginhost/SusiePlugin.h"

#include <cstring>
#include <string>

#include "pluginhost/SPIFile.h"
#include "pluginhost/SPIManager.h"

namespace quillmount {

LONG gLiveObjects = 0;
LONG gServerLocks = 0;
HMODULE gModule = nullptr;

namespace {
constexpr HRESULT kUnsupportedFormat = static_cast<HRESULT>(0x80040001);
const wchar_t kUnsupportedText[] = L"未対応フォーマットファイル";
const wchar_t kSource[] = L"Quillmount.SusiePlugin";
}  // namespace

HRESULT LoadOwnTypeLib(ITypeLib** lib) {
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(gModule, path, MAX_PATH);
    return LoadTypeLibEx(path, REGKIND_NONE, lib);
}

SusiePluginControl::SusiePluginControl() {
    InterlockedIncrement(&gLiveObjects);
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadOwnTypeLib(&lib))) {
        lib->GetTypeInfoOfGuid(IID__SusiePlugin, &typeInfo_);
        lib->GetTypeInfoOfGuid(CLSID_SusiePlugin, &classInfo_);
        lib->Release();
    }
}

SusiePluginControl::~SusiePluginControl() {
    manager_.reset();  // the modules free any library they still hold
    for (IDispatch* s : sinks_)
        if (s) s->Release();
    if (typeInfo_) typeInfo_->Release();
    if (classInfo_) classInfo_->Release();
    InterlockedDecrement(&gLiveObjects);
}

HRESULT SusiePluginControl::Create(REFIID riid, void** out) {
    auto* c = new (std::nothrow) SusiePluginControl();
    if (!c) return E_OUTOFMEMORY;
    if (!c->typeInfo_) {
        c->Release();
        return TYPE_E_CANTLOADLIBRARY;
    }
    HRESULT hr = c->QueryInterface(riid, out);
    c->Release();
    return hr;
}

STDMETHODIMP SusiePluginControl::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__SusiePlugin)
        *out = static_cast<_SusiePlugin*>(this);
    else if (riid == IID_ISupportErrorInfo)
        *out = static_cast<ISupportErrorInfo*>(this);
    else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
        *out = static_cast<IProvideClassInfo2*>(this);
    else if (riid == IID_IConnectionPointContainer)
        *out = static_cast<IConnectionPointContainer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SusiePluginControl::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) SusiePluginControl::Release() {
    const ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP SusiePluginControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return typeInfo_->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP SusiePluginControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                        EXCEPINFO* excep, UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    SetErrorInfo(0, nullptr);
    HRESULT hr = typeInfo_->Invoke(static_cast<_SusiePlugin*>(this), id, flags, params, result, excep, argErr);
    // A member's own error reaches late-bound callers as an exception with its number and text.
    if (FAILED(hr) && hr != DISP_E_EXCEPTION && excep && HRESULT_FACILITY(hr) == FACILITY_ITF) {
        IErrorInfo* info = nullptr;
        std::memset(excep, 0, sizeof *excep);
        excep->scode = hr;
        if (GetErrorInfo(0, &info) == S_OK && info) {
            info->GetDescription(&excep->bstrDescription);
            info->GetSource(&excep->bstrSource);
            info->Release();
        }
        hr = DISP_E_EXCEPTION;
    }
    return hr;
}

HRESULT SusiePluginControl::RaiseError(HRESULT number, const wchar_t* description) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(IID__SusiePlugin);
        create->SetSource(const_cast<LPOLESTR>(kSource));
        create->SetDescription(const_cast<LPOLESTR>(description));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return number;
}

STDMETHODIMP SusiePluginControl::get_ProgressMax(LONG* value) {
    if (!value) return E_POINTER;
    *value = progressMax_;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::get_ProgressValue(LONG* value) {
    if (!value) return E_POINTER;
    *value = progressValue_;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::put_LoadCancel(VARIANT_BOOL cancel) {
    cancel_ = cancel != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::get_AllPicturesFilter(BSTR* value) {
    if (!value) return E_POINTER;
    const std::wstring filter = L"*.bmp;" + (manager_ ? manager_->PictureFilter() : std::wstring());
    *value = SysAllocStringLen(filter.data(), static_cast<UINT>(filter.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SusiePluginControl::Start() {
    auto manager = std::make_unique<SPIManager>();
    manager->OnDecoding = [this](int32_t c, int32_t t, bool& cancel) { OnDecoding(c, t, cancel); };
    manager_ = std::move(manager);  // a previous manager goes: Start rescans
    return S_OK;
}

STDMETHODIMP SusiePluginControl::LoadSusiePicture(BSTR newFile, IPictureDisp** picture) {
    if (!picture) return E_POINTER;
    *picture = nullptr;
    const std::wstring name = newFile ? std::wstring(newFile, SysStringLen(newFile)) : std::wstring();
    auto file = std::make_shared<SPIFile>();
    // Before Start there are no plug-ins to ask: no picture, as for a refused load.
    if (!file->Init(name, L"", nullptr) || !manager_) return S_OK;
    cancel_ = false;
    AddRef();  // a host may drop its last reference inside the progress event
    const HRESULT hr = manager_->LoadFile(file.get());
    HRESULT result = S_OK;
    if (FAILED(hr)) {
        result = hr;  // errors from deeper down pass unchanged
    } else if (hr == S_OK) {
        if (file->HasPicture()) {
            *picture = file->Picture().Get();
            (*picture)->AddRef();
        } else {
            result = RaiseError(kUnsupportedFormat, kUnsupportedText);
        }
    }
    Release();
    return result;
}

void SusiePluginControl::OnDecoding(int32_t current, int32_t total, bool& cancel) {
    progressValue_ = current;
    progressMax_ = total;
    cancel = cancel_;
    FireProgressValueChange();
    cancel = cancel_;  // a request made inside the handler reaches the plug-in with this report
}

void SusiePluginControl::FireProgressValueChange() {
    DISPPARAMS none{};
    const std::vector<IDispatch*> sinks = sinks_;  // a handler may unadvise
    for (IDispatch* s : sinks) {
        if (!s) continue;
        s->AddRef();
        s->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
        s->Release();
    }
}

STDMETHODIMP SusiePluginControl::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID__SusiePlugin ? S_OK : S_FALSE;
}

STDMETHODIMP SusiePluginControl::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = classInfo_;
    if (!classInfo_) return E_FAIL;
    classInfo_->AddRef();
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID___SusiePlugin;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::EnumConnectionPoints(IEnumConnectionPoints** e) {
    if (e) *e = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP SusiePluginControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != DIID___SusiePlugin) return CONNECT_E_NOCONNECTION;
    *point = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = DIID___SusiePlugin;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP SusiePluginControl::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    IDispatch* d = nullptr;
    if (FAILED(sink->QueryInterface(DIID___SusiePlugin, reinterpret_cast<void**>(&d))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))))
        return CONNECT_E_CANNOTCONNECT;
    sinks_.push_back(d);
    *cookie = static_cast<DWORD>(sinks_.size());
    return S_OK;
}

STDMETHODIMP SusiePluginControl::Unadvise(DWORD cookie) {
    if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
    IDispatch* d = sinks_[cookie - 1];
    sinks_[cookie - 1] = nullptr;
    d->Release();
    return S_OK;
}

STDMETHODIMP SusiePluginControl::EnumConnections(IEnumConnections** e) {
    if (e) *e = nullptr;
    return E_NOTIMPL;
}

}  // namespace quillmount

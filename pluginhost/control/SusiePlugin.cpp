#include "pluginhost/control/SusiePlugin.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <utility>

#include "app/module_file.h"
#include "pluginhost/susie/SPIFile.h"
#include "pluginhost/susie/SPIManager.h"
#include "pluginhost/control/registration.h"

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
    return LoadTypeLibAt(tamsel::ModuleFileName(gModule), lib);
}

// The connection point of the event interface, living inside its control.
class SusiePluginControl::EventPoint final : public IConnectionPoint {
public:
    explicit EventPoint(SusiePluginControl& owner) : owner_(owner) {}
    ~EventPoint() {
        for (IDispatch* s : sinks_)
            if (s) s->Release();
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *out = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_.Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = DIID___SusiePlugin;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (!container) return E_POINTER;
        *container = static_cast<IConnectionPointContainer*>(&owner_);
        owner_.AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
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
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
        IDispatch* d = sinks_[cookie - 1];
        sinks_[cookie - 1] = nullptr;
        d->Release();
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** e) override;
    void Fire(DISPID id) {
        DISPPARAMS none{};
        const std::vector<IDispatch*> sinks = sinks_;  // a handler may unadvise
        for (IDispatch* s : sinks) {
            if (!s) continue;
            s->AddRef();
            s->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
            s->Release();
        }
    }

private:
    SusiePluginControl& owner_;
    std::vector<IDispatch*> sinks_;  // index + 1 is the cookie; null after Unadvise
};

SusiePluginControl::SusiePluginControl() : events_(std::make_unique<EventPoint>(*this)) {
    InterlockedIncrement(&gLiveObjects);
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadOwnTypeLib(&lib))) {
        lib->GetTypeInfoOfGuid(IID__SusiePlugin, &typeInfo_);
        lib->GetTypeInfoOfGuid(CLSID_SusiePlugin, &classInfo_);
        lib->Release();
    }
}

// One load on a thread of its own, of a file the caller will likely ask for
// next. Only plug-ins in hosts are asked (none runs on this thread), no event
// is fired, and its plug-in hears a stop at its next report.
struct SusiePluginControl::Ahead {
    std::wstring name;
    std::shared_ptr<SPIManager> manager;
    std::shared_ptr<SPIFile> file = std::make_shared<SPIFile>();
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    std::atomic<bool> cancel{false};
    std::atomic<int32_t> value{0}, max{0};
    std::atomic<uint32_t> reports{0};
    HRESULT hr = E_PENDING;  // read once the thread has ended

    ~Ahead() {
        if (thread) CloseHandle(thread);
    }
    static DWORD WINAPI Main(void* self) {
        auto* a = static_cast<Ahead*>(self);
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        try {
            a->hr = a->manager->LoadFile(a->file.get(), &a->cancel);
        } catch (...) {
            a->hr = E_FAIL;  // memory a host claimed, or worse: this read-ahead only
        }
        if (SUCCEEDED(com)) CoUninitialize();
        return 0;
    }
};

SusiePluginControl::~SusiePluginControl() {
    StopAhead();  // its thread uses this control's manager and reports
    manager_.reset();  // the modules free any library they still hold
    if (window_) DestroyWindow(window_);
    if (site_) site_->Release();
    if (adviseHolder_) adviseHolder_->Release();
    if (viewSink_) viewSink_->Release();
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
    else if (riid == IID_IOleObject)
        *out = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        *out = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IOleControl)
        *out = static_cast<IOleControl*>(this);
    else if (riid == IID_IViewObject || riid == IID_IViewObject2)
        *out = static_cast<IViewObject2*>(this);
    else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        *out = static_cast<IPersistStreamInit*>(this);
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

HRESULT SusiePluginControl::RaiseError(HRESULT number, const std::wstring& text) {
    const wchar_t* description = text.c_str();
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
    *value = nullptr;
    return Guarded([&] {
        StopAhead();  // the hosts answer one thread at a time
        const std::wstring filter = L"*.bmp;" + (manager_ ? manager_->PictureFilter() : std::wstring());
        *value = SysAllocStringLen(filter.data(), static_cast<UINT>(filter.size()));
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP SusiePluginControl::Start() {
    return Guarded([&] {
        StopAhead();
        auto manager = std::make_shared<SPIManager>();
        manager->OnDecoding = [this](int32_t c, int32_t t, bool& cancel) { OnDecoding(c, t, cancel); };
        manager_ = std::move(manager);  // a previous manager goes: Start rescans
        extracted_.reset();
        archive_.reset();
        lastLoad_.clear();
        return S_OK;
    });
}

STDMETHODIMP SusiePluginControl::LoadSusiePicture(BSTR newFile, IPictureDisp** picture) {
    if (!picture) return E_POINTER;
    *picture = nullptr;
    const std::wstring name = newFile ? std::wstring(newFile, SysStringLen(newFile)) : std::wstring();
    auto file = std::make_shared<SPIFile>();
    // Before Start there are no plug-ins to ask: no picture, as for a refused load.
    const std::shared_ptr<SPIManager> manager = manager_;
    if (!file->Init(name, L"", nullptr) || !manager) return S_OK;
    cancel_ = false;
    AddRef();  // a host may drop its last reference inside the progress event
    const HRESULT result = Guarded([&] {
        // The file read ahead is the one asked for: its load, awaited, is this one.
        HRESULT hr = S_FALSE;
        bool read = false;
        if (ahead_ && ahead_->name == name && ahead_->manager == manager) {
            if (AwaitAhead(true)) {
                ahead_.reset();
                return S_OK;  // cancelled: no picture, as for a cancelled load
            }
            if (ahead_->hr != S_FALSE) {  // it ran to its end (or failed): not refused
                hr = ahead_->hr;
                file = ahead_->file;
                read = true;
            }
            ahead_.reset();
        }
        StopAhead();
        if (!read) hr = manager->LoadFile(file.get());
        if (FAILED(hr)) return hr;  // errors from deeper down pass unchanged
        if (hr != S_OK) return S_OK;
        if (file->HasPicture()) {
            *picture = file->Picture().Get();
            (*picture)->AddRef();
            return S_OK;
        }
        // Every plug-in was asked: an archive is opened right after this answer, without asking them again.
        lastLoad_ = name;
        if (file->HasEntries()) {
            extracted_.reset();
            archive_ = file;
        }
        // Plug-ins that could not be asked are named after the usual text.
        const std::wstring& trouble = manager->LoadTrouble();
        return RaiseError(kUnsupportedFormat,
                          trouble.empty() ? std::wstring(kUnsupportedText) : kUnsupportedText + (L"\r\n" + trouble));
    });
    Release();
    return result;
}

STDMETHODIMP SusiePluginControl::get_AllArchivesFilter(BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guarded([&] {
        StopAhead();
        const std::wstring filter = manager_ ? manager_->ArchiveFilter() : std::wstring();
        *value = SysAllocStringLen(filter.data(), static_cast<UINT>(filter.size()));
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

std::shared_ptr<SPIFile> SusiePluginControl::Listed(const std::shared_ptr<SPIManager>& manager, const std::wstring& path,
                                                    bool reuse) {
    const bool justLoaded = std::exchange(lastLoad_, std::wstring()) == path;
    if (archive_ && archive_->FilePath() == path && (reuse || justLoaded)) return archive_;
    if (justLoaded) return nullptr;  // no archive plug-in listed it a moment ago
    auto file = std::make_shared<SPIFile>();
    if (!file->Init(path, L"", nullptr) || manager->LoadFile(file.get()) != S_OK || !file->HasEntries()) return nullptr;
    extracted_.reset();
    archive_ = file;
    return file;
}

STDMETHODIMP SusiePluginControl::ListArchive(BSTR file, VARIANT* entries) {
    if (!entries) return E_POINTER;
    VariantInit(entries);
    const std::wstring name = file ? std::wstring(file, SysStringLen(file)) : std::wstring();
    const std::shared_ptr<SPIManager> manager = manager_;
    if (!manager || name.empty()) return RaiseError(kUnsupportedFormat, kUnsupportedText);
    cancel_ = false;
    AddRef();
    const HRESULT result = Guarded([&] {
        StopAhead();
        // Listed afresh unless the load just before asked the plug-ins: it may have changed since.
        const std::shared_ptr<SPIFile> listed = Listed(manager, name, false);
        if (!listed) return RaiseError(kUnsupportedFormat, kUnsupportedText);
        const int32_t n = listed->EntryCount();
        SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(n));
        if (!array) return E_OUTOFMEMORY;
        for (LONG i = 0; i < n; ++i) {
            const std::wstring e = listed->EntryNameAt(i);
            BSTR s = SysAllocStringLen(e.data(), static_cast<UINT>(e.size()));
            if (!s || FAILED(SafeArrayPutElement(array, &i, s))) {
                SysFreeString(s);
                SafeArrayDestroy(array);
                return E_OUTOFMEMORY;
            }
            SysFreeString(s);  // the array holds its own copy
        }
        entries->vt = VT_ARRAY | VT_BSTR;
        entries->parray = array;
        return S_OK;
    });
    Release();
    return result;
}

STDMETHODIMP SusiePluginControl::ExtractArchiveEntry(BSTR file, BSTR entry, BSTR folder, BSTR* path) {
    if (!path) return E_POINTER;
    *path = nullptr;
    auto text = [](BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); };
    const std::wstring archive = text(file), name = text(entry), into = text(folder);
    const std::shared_ptr<SPIManager> manager = manager_;
    if (!manager || archive.empty() || name.empty() || into.empty())
        return RaiseError(kUnsupportedFormat, kUnsupportedText);
    cancel_ = false;
    AddRef();
    const HRESULT result = Guarded([&] {
        StopAhead();
        extracted_.reset();  // one entry on disk at a time
        const std::shared_ptr<SPIFile> listed = Listed(manager, archive, true);  // paging through it
        std::shared_ptr<SPIFile> copy = listed ? manager->ExtractEntry(listed, name, into) : nullptr;
        if (!copy || GetFileAttributesW(copy->FilePath().c_str()) == INVALID_FILE_ATTRIBUTES)
            return RaiseError(kUnsupportedFormat, kUnsupportedText);
        extracted_ = std::move(copy);
        *path = SysAllocStringLen(extracted_->FilePath().data(), static_cast<UINT>(extracted_->FilePath().size()));
        return *path ? S_OK : E_OUTOFMEMORY;
    });
    Release();
    return result;
}

STDMETHODIMP SusiePluginControl::ReadAhead(BSTR file, VARIANT_BOOL* reading) {
    if (!reading) return E_POINTER;
    *reading = VARIANT_FALSE;
    const std::wstring name = file ? std::wstring(file, SysStringLen(file)) : std::wstring();
    return Guarded([&] {
        if (ahead_ && ahead_->name == name && ahead_->manager == manager_) {  // already read or reading
            *reading = VARIANT_TRUE;
            return S_OK;
        }
        StopAhead();
        if (name.empty() || !manager_) return S_OK;
        auto ahead = std::make_unique<Ahead>();
        ahead->name = name;
        ahead->manager = manager_;
        if (!ahead->file->Init(name, L"", nullptr)) return S_OK;
        ahead->thread = CreateThread(nullptr, 256 * 1024, &Ahead::Main, ahead.get(),
                                     STACK_SIZE_PARAM_IS_A_RESERVATION | CREATE_SUSPENDED, &ahead->threadId);
        if (!ahead->thread) return S_OK;
        ahead_ = std::move(ahead);  // before it runs: its reports find it
        ResumeThread(ahead_->thread);
        *reading = VARIANT_TRUE;
        return S_OK;
    });
}

STDMETHODIMP SusiePluginControl::get_ReadAheadState(LONG* state) {
    if (!state) return E_POINTER;
    *state = 0;
    if (!ahead_ || WaitForSingleObject(ahead_->thread, 0) != WAIT_OBJECT_0) return S_OK;
    if (ahead_->hr == S_OK && !ahead_->cancel.load())
        *state = ahead_->file->HasPicture() ? 1 : ahead_->file->HasEntries() ? 1 : 2;
    else
        *state = 3;  // refused, failed or stopped: the plug-ins' answer is not known
    return S_OK;
}

void SusiePluginControl::StopAhead() {
    if (!ahead_) return;
    ahead_->cancel = true;
    AwaitAhead(false);
    ahead_.reset();
}

bool SusiePluginControl::AwaitAhead(bool relay) {
    bool cancelled = false;
    uint32_t heard = 0;
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjectsEx(1, &ahead_->thread, 100, QS_PAINT, 0);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
        MSG m;
        for (int i = 0; i < 64 && PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) DispatchMessageW(&m);
        if (!relay) continue;
        // Its reports as a load's, and at least every tenth of a second, so
        // that the container hears Escape while its plug-in is silent.
        const uint32_t reports = ahead_->reports.load();
        if (reports != heard || r == WAIT_TIMEOUT) {
            heard = reports;
            progressValue_ = ahead_->value.load();
            progressMax_ = ahead_->max.load();
            FireProgressValueChange();
        }
        if (cancel_ && !ahead_->cancel.exchange(true)) cancelled = true;
    }
    return cancelled;
}

void SusiePluginControl::OnDecoding(int32_t current, int32_t total, bool& cancel) {
    if (ahead_ && GetCurrentThreadId() == ahead_->threadId) {
        // The read-ahead's thread: kept for the load that may take it, never fired from there.
        ahead_->value = current;
        ahead_->max = total;
        ++ahead_->reports;
        cancel = ahead_->cancel.load();
        return;
    }
    progressValue_ = current;
    progressMax_ = total;
    // The request as it stands before the event: one made inside the handler
    // reaches the plug-in with its next report.
    cancel = cancel_;
    FireProgressValueChange();
}

void SusiePluginControl::FireProgressValueChange() { events_->Fire(1); }

// No C++ exception leaves a COM method: memory that runs out (whatever a
// host claimed) or any other failure is the caller's error result.
template <typename Work>
HRESULT SusiePluginControl::Guarded(Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
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

namespace {

// An enumerator over a fixed list of interface pointers, for the control's
// connection points and a point's connections.
template <typename Enum, typename Item, REFIID EnumIid>
class ListEnum final : public Enum {
public:
    explicit ListEnum(std::vector<Item> items, size_t at = 0) : items_(std::move(items)), at_(at) {
        for (Item& i : items_) AddRefItem(i);
    }
    ~ListEnum() {
        for (Item& i : items_) ReleaseItem(i);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == EnumIid) {
            *out = static_cast<Enum*>(this);
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
    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && at_ < items_.size(); ++n, ++at_) {
            out[n] = items_[at_];
            AddRefItem(out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        at_ = std::min<size_t>(items_.size(), at_ + count);
        return at_ < items_.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        at_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Enum** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) ListEnum(items_, at_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    static void AddRefItem(IConnectionPoint* p) { p->AddRef(); }
    static void ReleaseItem(IConnectionPoint* p) { p->Release(); }
    static void AddRefItem(CONNECTDATA& d) { d.pUnk->AddRef(); }
    static void ReleaseItem(CONNECTDATA& d) { d.pUnk->Release(); }
    LONG refs_ = 1;
    std::vector<Item> items_;
    size_t at_;
};

}  // namespace

STDMETHODIMP SusiePluginControl::EventPoint::EnumConnections(IEnumConnections** e) {
    if (!e) return E_POINTER;
    std::vector<CONNECTDATA> list;
    for (size_t i = 0; i < sinks_.size(); ++i)
        if (sinks_[i]) list.push_back({sinks_[i], static_cast<DWORD>(i + 1)});
    *e = new (std::nothrow) ListEnum<IEnumConnections, CONNECTDATA, IID_IEnumConnections>(std::move(list));
    return *e ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SusiePluginControl::EnumConnectionPoints(IEnumConnectionPoints** e) {
    if (!e) return E_POINTER;
    *e = new (std::nothrow) ListEnum<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>(
        {static_cast<IConnectionPoint*>(events_.get())});
    return *e ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SusiePluginControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != DIID___SusiePlugin) return CONNECT_E_NOCONNECTION;
    *point = events_.get();
    AddRef();
    return S_OK;
}

// ---- siting in an OLE container

namespace {

constexpr wchar_t kWindowClass[] = L"QuillmountSusiePlugin";

// A small frame with the library's initials: the control has nothing else to show.
void DrawPlaceholder(HDC dc, const RECT& r) {
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    FillRect(dc, &r, face);
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT t = r;
    DrawTextW(dc, L"SPI", 3, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

LRESULT CALLBACK ControlWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT r;
        GetClientRect(h, &r);
        DrawPlaceholder(dc, r);
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

int ExtentPixels(HDC dc, int axis) {
    return MulDiv(SusiePluginControl::kExtentHimetric, GetDeviceCaps(dc, axis), 2540);
}

}  // namespace

STDMETHODIMP SusiePluginControl::SetClientSite(IOleClientSite* site) {
    if (site_) site_->Release();
    site_ = site;
    if (site_) site_->AddRef();
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = site_;
    if (site_) site_->AddRef();
    return S_OK;
}

STDMETHODIMP SusiePluginControl::Close(DWORD) {
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

STDMETHODIMP SusiePluginControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) {
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        break;
    case OLEIVERB_HIDE:
        if (window_) ShowWindow(window_, SW_HIDE);
        return S_OK;
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
    if (!site) site = site_;
    if (window_) {
        ShowWindow(window_, SW_SHOW);
        return S_OK;
    }
    IOleInPlaceSite* inPlace = nullptr;
    if (site) site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace));
    if (inPlace) {
        if (inPlace->CanInPlaceActivate() != S_OK) {
            inPlace->Release();
            return E_FAIL;
        }
        inPlace->OnInPlaceActivate();
        if (!parent) inPlace->GetWindow(&parent);
    }
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ControlWindowProc;
        wc.hInstance = gModule;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    HDC screen = GetDC(nullptr);
    const int w = ExtentPixels(screen, LOGPIXELSX), h = ExtentPixels(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    window_ = CreateWindowExW(0, kWindowClass, L"", (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE,
                              rect ? rect->left : 0, rect ? rect->top : 0, w, h, parent, nullptr, gModule, nullptr);
    if (inPlace) inPlace->Release();
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP SusiePluginControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP SusiePluginControl::GetUserType(DWORD form, LPOLESTR* type) {
    return OleRegGetUserType(CLSID_SusiePlugin, form, type);
}

// Whatever size the host asks for, the control stays 480 x 480 twips.
STDMETHODIMP SusiePluginControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    size->cx = size->cy = kExtentHimetric;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(&adviseHolder_))) return E_OUTOFMEMORY;
    return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP SusiePluginControl::Unadvise(DWORD cookie) {
    return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP SusiePluginControl::EnumAdvise(IEnumSTATDATA** e) {
    if (!e) return E_POINTER;
    *e = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(e) : S_OK;
}

STDMETHODIMP SusiePluginControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP SusiePluginControl::InPlaceDeactivate() {
    if (!window_) return S_OK;
    DestroyWindow(window_);
    window_ = nullptr;
    IOleInPlaceSite* inPlace = nullptr;
    if (site_ && SUCCEEDED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->OnInPlaceDeactivate();
        inPlace->Release();
    }
    return S_OK;
}

// The host places the control; its size stays fixed.
STDMETHODIMP SusiePluginControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (window_) SetWindowPos(window_, nullptr, position->left, position->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                                      LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    const RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
    DrawPlaceholder(dc, r);
    return S_OK;
}

STDMETHODIMP SusiePluginControl::SetAdvise(DWORD, DWORD, IAdviseSink* sink) {
    if (viewSink_) viewSink_->Release();
    viewSink_ = sink;
    if (viewSink_) viewSink_->AddRef();
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = DVASPECT_CONTENT;
    if (flags) *flags = 0;
    if (sink) {
        *sink = viewSink_;
        if (viewSink_) viewSink_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

STDMETHODIMP SusiePluginControl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_SusiePlugin;
    return S_OK;
}

STDMETHODIMP SusiePluginControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

}  // namespace quillmount

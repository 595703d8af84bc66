#pragma once
// The control SusiePlugin: the library's one creatable class. Its default
// interface is reached through IDispatch by the identifiers of the type
// library; the event ProgressValueChange goes to every connected sink.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <string>
#include <vector>

#include "Quillmount_h.h"

namespace quillmount {

class SPIManager;
class SPIFile;

// Objects and locks alive in the library (DllCanUnloadNow).
extern LONG gLiveObjects;
extern LONG gServerLocks;
extern HMODULE gModule;

class SusiePluginControl final : public _SusiePlugin,
                                 public ISupportErrorInfo,
                                 public IProvideClassInfo2,
                                 public IConnectionPointContainer,
                                 public IOleObject,
                                 public IOleInPlaceObject,
                                 public IOleControl,
                                 public IViewObject2,
                                 public IPersistStreamInit {
public:
    static HRESULT Create(REFIID riid, void** out);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;
    // _SusiePlugin
    STDMETHODIMP get_ProgressMax(LONG* value) override;
    STDMETHODIMP get_ProgressValue(LONG* value) override;
    STDMETHODIMP put_LoadCancel(VARIANT_BOOL cancel) override;
    STDMETHODIMP get_AllPicturesFilter(BSTR* value) override;
    STDMETHODIMP Start() override;
    STDMETHODIMP LoadSusiePicture(BSTR newFile, IPictureDisp** picture) override;
    STDMETHODIMP get_AllArchivesFilter(BSTR* value) override;
    STDMETHODIMP ListArchive(BSTR file, VARIANT* entries) override;
    STDMETHODIMP ExtractArchiveEntry(BSTR file, BSTR entry, BSTR folder, BSTR* path) override;
    STDMETHODIMP ReadAhead(BSTR file, VARIANT_BOOL* reading) override;
    STDMETHODIMP get_ReadAheadState(LONG* state) override;
    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;
    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;
    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // IOleObject: a container sites the control; its extent is fixed.
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return OLEOBJ_E_NOVERBS; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }
    // IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }
    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override { return S_OK; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }
    // IViewObject2: a small placeholder frame
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;
    // IPersistStreamInit: nothing to keep
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) override { return S_OK; }
    STDMETHODIMP Save(LPSTREAM, BOOL) override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override { return S_OK; }

    // The control's fixed size: 480 x 480 twips.
    static constexpr LONG kExtentHimetric = 847;  // 480 twips = 1/3 inch

private:
    class EventPoint;
    friend class EventPoint;
    SusiePluginControl();
    ~SusiePluginControl();
    void OnDecoding(int32_t current, int32_t total, bool& cancel);
    struct Ahead;
    // The read-ahead goes: stopped at its plug-in's next report, waited for
    // (the windows of this thread painting meanwhile), its result freed.
    void StopAhead();
    // Waits for the read-ahead to end; with `relay`, its reports reach the
    // container as a load's do, and a cancel asked there stops it (true then).
    bool AwaitAhead(bool relay);
    void FireProgressValueChange();
    HRESULT RaiseError(HRESULT number, const std::wstring& text);
    template <typename Work>
    static HRESULT Guarded(Work&& work) noexcept;
    // The archive's listing: what the last load made of it when that load was
    // of this file (none when no plug-in listed it then), or the last listing
    // when `reuse`; otherwise made now. None when no archive plug-in lists it.
    std::shared_ptr<SPIFile> Listed(const std::shared_ptr<SPIManager>& manager, const std::wstring& path, bool reuse);

    LONG refs_ = 1;
    // Shared with a running load: a Start from inside its progress event replaces
    // the manager without freeing the one the load still uses.
    std::shared_ptr<SPIManager> manager_;
    std::shared_ptr<SPIFile> archive_;    // the last archive listed
    std::wstring lastLoad_;               // the file the last load offered every plug-in, without a picture
    std::shared_ptr<SPIFile> extracted_;  // deletes its copy on disk when it goes
    LONG progressMax_ = 0;
    LONG progressValue_ = 0;
    bool cancel_ = false;
    std::unique_ptr<Ahead> ahead_;  // the one read-ahead, in flight or ended
    ITypeInfo* typeInfo_ = nullptr;       // the default interface
    ITypeInfo* classInfo_ = nullptr;      // the coclass
    std::unique_ptr<EventPoint> events_;   // the event interface's connection point
    IOleClientSite* site_ = nullptr;
    IOleAdviseHolder* adviseHolder_ = nullptr;
    IAdviseSink* viewSink_ = nullptr;
    HWND window_ = nullptr;
};

// Loads the library's own type library (embedded as resource 1).
HRESULT LoadOwnTypeLib(ITypeLib** lib);

}  // namespace quillmount

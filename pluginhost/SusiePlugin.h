#pragma once
// The control SusiePlugin: the library's one creatable class. Its default
// interface is reached through IDispatch by the identifiers of the type
// library; the event ProgressValueChange goes to every connected sink.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <vector>

#include "Quillmount_h.h"

namespace quillmount {

class SPIManager;

// Objects and locks alive in the library (DllCanUnloadNow).
extern LONG gLiveObjects;
extern LONG gServerLocks;
extern HMODULE gModule;

class SusiePluginControl final : public _SusiePlugin,
                                 public ISupportErrorInfo,
                                 public IProvideClassInfo2,
                                 public IConnectionPointContainer,
                                 public IConnectionPoint {
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
    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;
    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;
    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;
    // IConnectionPoint (the event interface's only point)
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** e) override;

private:
    SusiePluginControl();
    ~SusiePluginControl();
    void OnDecoding(int32_t current, int32_t total, bool& cancel);
    void FireProgressValueChange();
    HRESULT RaiseError(HRESULT number, const wchar_t* description);

    LONG refs_ = 1;
    std::unique_ptr<SPIManager> manager_;
    LONG progressMax_ = 0;
    LONG progressValue_ = 0;
    bool cancel_ = false;
    ITypeInfo* typeInfo_ = nullptr;       // the default interface
    ITypeInfo* classInfo_ = nullptr;      // the coclass
    std::vector<IDispatch*> sinks_;        // index + 1 is the cookie; null after Unadvise
};

// Loads the library's own type library (embedded as resource 1).
HRESULT LoadOwnTypeLib(ITypeLib** lib);

}  // namespace quillmount

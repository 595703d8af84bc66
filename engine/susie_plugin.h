#pragma once
// The engine's plug-in host control: the control SusiePlugin of the control
// library, created by its ProgID (or, when it is not registered, from the
// library beside the program) and called late-bound by its dispatch
// identifiers. Without the control the engine runs as with no plug-ins.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/picture.h"

namespace tamsel {

class SusiePluginHost {
public:
    SusiePluginHost() = default;
    ~SusiePluginHost();
    SusiePluginHost(const SusiePluginHost&) = delete;
    SusiePluginHost& operator=(const SusiePluginHost&) = delete;

    // Creates the control and connects its event; false when no control could be had.
    bool Create();
    void Destroy();
    bool HasControl() const { return live_.control != nullptr; }

    void Start();
    std::wstring AllPicturesFilter() const;
    // S_OK with a picture; an error (0x80040001, "未対応フォーマットファイル") when
    // no plug-in produces one, or an error from deeper down; S_FALSE with no
    // picture when the request is refused or cancelled.
    HRESULT LoadSusiePicture(const std::wstring& newFile, forms::Picture& out);
    // Archives that archive plug-ins read: their patterns ("*.lzh;*.rar"),
    // an archive's entry names as listed (0x80040001 when none lists it), and
    // one entry extracted into `folder`, its copy's path (the copy lasts until
    // the next extraction).
    std::wstring AllArchivesFilter() const;
    HRESULT ListArchive(const std::wstring& file, std::vector<std::wstring>& entries);
    HRESULT ExtractArchiveEntry(const std::wstring& file, const std::wstring& entry, const std::wstring& folder,
                                std::wstring& path);
    // The file read ahead through the plug-ins in their hosts while the viewer
    // is idle; its load then takes it. An empty name stops it. False when not read ahead.
    bool ReadAhead(const std::wstring& file);
    // How it stands: 0 reading (or none), 1 a plug-in read it, 2 no plug-in read it, 3 not known.
    int ReadAheadState() const;
    int32_t ProgressValue() const;
    int32_t ProgressMax() const;
    void SetLoadCancel(bool cancel);

    // Raised during a decode after ProgressValue and ProgressMax changed.
    std::function<void()> ProgressValueChange;

private:
    class EventSink;
    HRESULT Call(DISPID id, WORD flags, VARIANT* arg, VARIANT* result, EXCEPINFO* excep, UINT args = 1) const;

    struct Parts {
        IDispatch* control = nullptr;
        EventSink* sink = nullptr;
        IConnectionPoint* point = nullptr;
        DWORD cookie = 0;
        HMODULE library = nullptr;  // when created without registration
    };
    static void Release(Parts& parts);

    Parts live_;
    // A control destroyed while a call into it is still running (the window
    // closed from a progress event) is let go when that call returns: its
    // library may not be freed under the call's feet.
    mutable int calls_ = 0;
    mutable std::vector<Parts> retired_;
};

constexpr HRESULT kUnsupportedFormat = static_cast<HRESULT>(0x80040001);

}  // namespace tamsel

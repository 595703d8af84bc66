#pragma once
// The engine's side of the plug-in host control: the members the engine uses,
// behind which the control library is reached. Until that library is in place
// the host behaves as one with no plug-ins installed.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "forms/picture.h"

namespace tamsel {

class SusiePluginHost {
public:
    void Start();
    std::wstring AllPicturesFilter() const;
    // S_OK with a picture; an error (0x80040001, "未対応フォーマットファイル") when
    // no plug-in produces one; S_FALSE with no picture when the request is refused.
    HRESULT LoadSusiePicture(const std::wstring& newFile, forms::Picture& out);
    int32_t ProgressValue() const { return progressValue_; }
    int32_t ProgressMax() const { return progressMax_; }

    // Raised during a decode after ProgressValue and ProgressMax changed.
    std::function<void()> ProgressValueChange;

private:
    int32_t progressValue_ = 0;
    int32_t progressMax_ = 0;
};

constexpr HRESULT kUnsupportedFormat = static_cast<HRESULT>(0x80040001);

}  // namespace tamsel

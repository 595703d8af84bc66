#include "engine/susie_plugin.h"

namespace tamsel {

void SusiePluginHost::Start() {
    progressValue_ = 0;
    progressMax_ = 0;
}

// With no picture plug-in the host reads Windows bitmaps only.
std::wstring SusiePluginHost::AllPicturesFilter() const { return L"*.bmp;"; }

HRESULT SusiePluginHost::LoadSusiePicture(const std::wstring& newFile, forms::Picture& out) {
    (void)newFile;
    (void)out;
    return kUnsupportedFormat;
}

}  // namespace tamsel

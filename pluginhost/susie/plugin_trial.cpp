#include "pluginhost/susie/plugin_trial.h"

#include "pluginhost/susie/SPIModule.h"

namespace quillmount {

TrialResult TryModules(SPIFile& file, const std::vector<SPIModule*>& modules,
                       const std::function<HRESULT(SPIModule&)>& decode, const std::function<bool()>& cancelled,
                       const std::function<void(int)>& working) {
    TrialResult result;
    for (size_t i = 0; i < modules.size(); ++i) {
        SPIModule& m = *modules[i];
        if (working) working(static_cast<int>(i));
        if (m.CheckSupported(&file)) {
            bool ok;
            if (m.IsPicture()) {
                const HRESULT hr = decode(m);
                if (FAILED(hr)) {
                    result.error = hr;  // an overflow ends the whole load
                    return result;
                }
                ok = hr == S_OK;
            } else {
                ok = m.LoadArchive(&file);
            }
            if (ok) {
                result.winner = static_cast<int>(i);
                return result;
            }
        }
        if (cancelled()) break;
    }
    return result;
}

}  // namespace quillmount

#pragma once
// One file offered to plug-ins in turn, the same in the control's process
// and in a host process: the first plug-in that says it supports the file
// and then decodes it (or lists it, for an archive) wins.
#include <windows.h>

#include <functional>
#include <vector>

namespace quillmount {

class SPIFile;
class SPIModule;

struct TrialResult {
    int winner = -1;     // index into the modules, or -1
    HRESULT error = S_OK;  // an error of the whole load (a bitmap too large to describe)
};

// `decode` makes the file's picture from a picture plug-in (S_OK, S_FALSE or
// an error); `cancelled` is asked after each plug-in; `working` hears which one
// is at work.
TrialResult TryModules(SPIFile& file, const std::vector<SPIModule*>& modules,
                       const std::function<HRESULT(SPIModule&)>& decode, const std::function<bool()>& cancelled,
                       const std::function<void(int)>& working = nullptr);

}  // namespace quillmount

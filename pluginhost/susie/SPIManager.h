#pragma once
// The installed Susie plug-ins: found in the folder the Susie convention
// records in the registry, kept in trial order, and asked in turn to decode
// a file; the platform's bitmap loader goes first.
// Plug-ins run in host processes of their own bitness (a crash or a hang
// takes only the host), found beside this library: the library's own kind
// (*.sph in the 64-bit build, *.spi in the 32-bit one), and the other kind in
// the other bitness's host. Without a host for its own kind (missing, or
// failing to start twice) the library runs its own kind in this process, as
// plug-in hosts always did. Self-descriptions are kept from run to run.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pluginhost/host/host_protocol.h"
#include "pluginhost/susie/description_cache.h"

namespace quillmount {

class HostClient;
class SPIFile;
class SPIModule;

class SPIManager {
public:
    enum class Isolation { Hosts, InProcess };
    // Scans the plug-in folder; hosts start in the background and answer
    // what the scan asked of them when it is first needed.
    explicit SPIManager(Isolation isolation = Isolation::Hosts);
    ~SPIManager();
    SPIManager(const SPIManager&) = delete;
    SPIManager& operator=(const SPIManager&) = delete;

    std::wstring PictureFilter();
    // The archive plug-ins' first filters, combined as the picture filter is.
    std::wstring ArchiveFilter();
    // S_OK: the attempt ran to its end (a picture or not: ask the file);
    // S_FALSE: refused (busy, no file) or cancelled; an error ends the load.
    // A plug-in that takes its host down is out for this file only: the
    // trial goes on with the next one, in a fresh host.
    // `away` (a load off the caller's thread, stopped by setting it): S_FALSE,
    // nothing asked, unless every plug-in is described and runs in a host
    // that can run; never a plug-in in this process. Once stopped, a plug-in
    // silent past its next report loses its host.
    HRESULT LoadFile(SPIFile* file, const std::atomic<bool>* away = nullptr);
    // Why plug-ins the last load would have offered the file to could not be
    // asked (their host cannot run); empty when none were left out.
    const std::wstring& LoadTrouble() const { return loadTrouble_; }
    // One entry of a listed archive, into `folder` (the archive's own
    // temporary folder when empty); the result deletes its copy when it goes.
    std::shared_ptr<SPIFile> ExtractEntry(const std::shared_ptr<SPIFile>& file, const std::wstring& entryName,
                                          const std::wstring& folder = L"");

    // (current, total, cancel by reference), once per progress report of the
    // module at work, in the order made, whether it runs here or in a host
    // (a host keeps the latest thousands in a ring; after a cancel the rest
    // go unheard, as the plug-in would have stopped).
    std::function<void(int32_t, int32_t, bool&)> OnDecoding;

    // For tests: the plug-in folder, the trial order, and where each plug-in
    // runs (the host's process id, 0 for this process).
    const std::wstring& Path() const { return path_; }
    std::vector<std::wstring> ModuleOrder();
    DWORD HostOf(const std::wstring& modulePath);

private:
    struct Entry {
        std::unique_ptr<SPIModule> module;
        std::shared_ptr<HostClient> host;  // none: this process
    };
    // The plug-ins of one kind in the folder's order, their descriptions as
    // far as known, and the host that runs them (none: this process).
    struct Kind {
        std::shared_ptr<HostClient> host;
        bool own = false;
        std::vector<std::wstring> paths;
        std::vector<std::optional<FileStamp>> stamps;
        std::vector<std::optional<host::Description>> described;
        std::vector<bool> kept;     // read from the record of earlier runs
        std::vector<size_t> asked;  // of the host, not yet heard
    };
    void Plan(Kind& kind);
    void DescribeHere(Kind& kind, size_t i);
    void RunHere(const std::shared_ptr<HostClient>& host);
    void Settle();
    void BuildFilter();
    void Relay(int32_t current, int32_t total, bool& refCancel);

    std::vector<Entry> entries_;  // trial order; the key is ModulePath
    std::vector<Kind> kinds_;     // own kind first
    bool settled_ = true;
    std::wstring loadTrouble_, standingTrouble_;
    std::wstring path_;
    bool cancel_ = false;
    bool busy_ = false;
    std::wstring filter_, archiveFilter_;
    SPIModule* module_ = nullptr;
};

}  // namespace quillmount

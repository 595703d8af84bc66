#pragma once
// The control's side of a plug-in host process. The host runs plug-ins of
// one bitness in a process of its own, so that a plug-in that crashes or
// hangs takes only the host with it. The control starts it (no
// registration), asks through one shared block and three events, and waits
// for the answer while the windows of its thread keep painting; Escape
// abandons a host that does not answer. A lost host is a failed request;
// the next request starts a fresh one.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pluginhost/host/host_protocol.h"
#include "pluginhost/susie/plugin_formats.h"
#include "pluginhost/susie/plugin_trial.h"

namespace quillmount {

class SPIFile;

// The host program for plug-ins of a convention, beside this library.
std::wstring HostProgramFor(Abi abi);

class HostClient {
public:
    explicit HostClient(std::wstring program);
    ~HostClient();
    HostClient(const HostClient&) = delete;
    HostClient& operator=(const HostClient&) = delete;

    // Starts the host unless it runs; false when it cannot be started.
    bool Launch();
    bool Running() const;

    // Self-descriptions of plug-in files: asked now (the host starts in the
    // background), answered when first needed. A host that dies or hangs on
    // one file is started again and goes on after that file.
    bool BeginDescribe(std::vector<std::wstring> paths);
    std::vector<std::optional<host::Description>> EndDescribe();

    using Progress = std::function<void(int32_t current, int32_t total, bool& cancel)>;
    // Offers the file to the plug-ins (paths in trial order). Answered: the
    // file holds the winner's picture or listing. Nothing: the host was lost.
    std::optional<TrialResult> Load(SPIFile& file, const std::vector<std::wstring>& modules, const Progress& progress);
    // One archive entry into a folder; nothing when the host was lost.
    std::optional<bool> Extract(const host::ExtractRequest& request, const Progress& progress);

    // For tests and benchmarks: the running host's process id, 0 when none.
    DWORD ProcessId() const { return pid_; }

private:
    enum class Waited { Answered, Lost };
    bool Send(host::Op op, const std::function<void(host::Writer&)>& write);
    Waited Wait(const Progress* progress, DWORD quietLimitMs, bool escapeAbandons);
    void Relay(const Progress* progress);
    void End(bool kill);
    bool PictureFromBulk(const host::LoadReply& reply, SPIFile& file, const std::wstring& module);

    std::wstring program_;
    std::wstring name_;  // of the block; the events add a suffix
    HANDLE mapping_ = nullptr, request_ = nullptr, reply_ = nullptr, progressEvent_ = nullptr;
    HANDLE process_ = nullptr, job_ = nullptr;
    DWORD pid_ = 0;
    host::Block* block_ = nullptr;
    uint32_t serial_ = 0, progressSeen_ = 0;
    uint32_t lastWorking_ = 0;
    bool wasReady_ = false;
    std::vector<std::wstring> describing_;  // asked, not yet answered
    size_t describeFrom_ = 0;
};

}  // namespace quillmount

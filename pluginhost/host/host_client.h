#pragma once
// The control's side of a plug-in host process. The host runs plug-ins of
// one bitness in a process of its own, so that a plug-in that crashes or
// hangs takes only the host with it. The control starts it (no
// registration) with a shared block and three events that have no names:
// their handles are placed in the host before it runs. It waits for the
// answer while the windows of its thread keep painting; Escape abandons a
// host that does not answer. A lost host is a failed request; the next
// request starts a fresh one. Everything the host wrote is bounded before it
// is used: a host is as untrusted as the plug-ins in it.
#include <windows.h>

#include <atomic>
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
    // The host program, and the convention of the plug-ins it is to run.
    HostClient(std::wstring program, Abi abi);
    // Never waits for the host: it is asked to go, and ended and reaped later.
    ~HostClient();
    HostClient(const HostClient&) = delete;
    HostClient& operator=(const HostClient&) = delete;

    // Starts the host unless it runs; false when it cannot be started (then
    // Trouble says why). A host that fails to start is tried once more with
    // fresh objects; a host of another protocol or bitness is refused.
    bool Launch();
    bool Running() const;
    // Why this host cannot serve, for the user; empty while it can.
    const std::wstring& Trouble() const { return trouble_; }
    bool Unavailable() const { return refused_ || failedStarts_ >= 2; }

    // Self-descriptions of plug-in files: asked now (the host starts in the
    // background), answered when first needed. A plug-in that hangs or
    // faults loses its own answer only; one whose window waits for the user
    // is not hanging; Escape gives up the one at work.
    bool BeginDescribe(std::vector<std::wstring> paths);
    std::vector<std::optional<host::Description>> EndDescribe();

    using Progress = std::function<void(int32_t current, int32_t total, bool& cancel)>;
    // Offers the file to the plug-ins (paths in trial order). Answered: the
    // file holds the winner's picture or listing. Nothing: the host was lost
    // (LostAt tells at which plug-in, LostToEscape whether the user gave up).
    // With `stop` (a load nobody waits on): once it is set, the plug-in at
    // work hears it at its next report; silent a moment longer, the host is
    // given up as if by Escape.
    std::optional<TrialResult> Load(SPIFile& file, const std::vector<std::wstring>& modules, const Progress& progress,
                                    const std::atomic<bool>* stop = nullptr);
    // One archive entry into a folder; nothing when the host was lost.
    std::optional<bool> Extract(const host::ExtractRequest& request, const Progress& progress);
    size_t LostAt() const { return lastWorking_; }
    bool LostToEscape() const { return lostToEscape_; }

    // For tests and benchmarks: the running host's process id, 0 when none;
    // how long a host may stay silent; a start that skips the job object, as
    // where the system refuses it.
    DWORD ProcessId() const { return pid_; }
    static void SetQuietLimitForTests(DWORD ms);
    static void SetNoJobForTests(bool noJob);

private:
    enum class Waited { Answered, Lost };
    bool StartOnce();
    bool Send(host::Op op, const std::function<void(host::Writer&)>& write);
    Waited Wait(const Progress* progress, DWORD quietLimitMs, DWORD escapeAfterMs,
                const std::atomic<bool>* stop = nullptr);
    void Relay(const Progress* progress);
    void NoteLoss();
    void End(bool kill);
    bool ShowsAWindow() const;
    bool ReadReply(size_t modules, host::LoadReply& reply);
    bool PictureFromBulk(const host::LoadReply& reply, SPIFile& file, const std::wstring& module);

    std::wstring program_;
    uint32_t bits_;
    HANDLE mapping_ = nullptr, request_ = nullptr, reply_ = nullptr, progressEvent_ = nullptr;
    HANDLE process_ = nullptr, job_ = nullptr;
    DWORD pid_ = 0;
    host::Block* block_ = nullptr;
    uint32_t serial_ = 0, progressSeen_ = 0;
    size_t lastWorking_ = 0;
    bool wasReady_ = false, lostToEscape_ = false;
    int failedStarts_ = 0;
    bool refused_ = false;
    std::wstring trouble_;
    std::vector<std::wstring> describing_;  // asked, not yet answered
    std::vector<std::optional<host::Description>> partial_;  // answered by a host lost on the way
};

}  // namespace quillmount

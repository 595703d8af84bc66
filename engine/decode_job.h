#pragma once
// One decode off the UI thread: the platform's picture loader or its imaging
// component over a file or a file's bytes, on a worker of its own, so that
// the windows go on painting and Escape is heard while it runs. The job owns
// what it decodes until the UI thread takes it; a job given up is waited for
// (and its picture freed) before the next one starts.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/view_stage.h"
#include "forms/picture.h"

namespace tamsel {

class DecodeJob {
public:
    // PlatformThenImaging: the imaging component when the platform's loader
    // reads nothing, as a load goes where no plug-in is there to ask between them.
    enum class Decoder { Platform, Imaging, PlatformThenImaging };
    // From `bytes` when given (kept alive by the caller until the job has ended), else from the file.
    DecodeJob(Decoder decoder, std::wstring path, const std::vector<uint8_t>* bytes, COLORREF background);
    // Cancels and waits for the worker: what it decoded goes with the job.
    ~DecodeJob();
    DecodeJob(const DecodeJob&) = delete;
    DecodeJob& operator=(const DecodeJob&) = delete;

    // False when no worker could be started: RunHere does the work then.
    // An idle worker runs only when nothing else wants the processor.
    bool Start(bool idle = false);
    // An idle worker someone now waits for runs as any other.
    void Hasten() {
        if (thread_) SetThreadPriority(thread_, THREAD_PRIORITY_NORMAL);
    }
    // Before Start: once decoded, the view stages at `percent` are made too
    // (the source rows when `source`), on this worker.
    void PrepareView(int16_t percent, bool source) {
        viewPercent_ = percent;
        viewSource_ = source;
    }
    void RunHere() { Run(); }
    // The imaging component stops before its next band; the platform loader
    // cannot be stopped, its result is dropped.
    void Cancel() { cancel_.store(true, std::memory_order_relaxed); }
    HANDLE Worker() const { return thread_; }
    bool Ended() const { return ended_.load(std::memory_order_acquire); }

    // Once ended: the result, and the orientation the imaging component's metadata reports.
    HRESULT Result() const { return hr_; }
    forms::Picture TakePicture() { return std::move(picture_); }
    int Reported() const { return reported_; }
    bool ByImaging() const { return byImaging_; }
    PreparedView TakePrepared() { return std::move(prepared_); }

    // Tests and benchmarks hold the worker this long before it decodes, so
    // that a command surely arrives meanwhile.
    static void SetDelayForTests(DWORD ms) { delay_ = ms; }

private:
    static DWORD WINAPI Main(void* self);
    void Run();

    Decoder decoder_;
    std::wstring path_;
    const std::vector<uint8_t>* bytes_;
    COLORREF background_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> cancel_{false}, ended_{false};
    HRESULT hr_ = E_PENDING;
    forms::Picture picture_;
    int reported_ = 1;
    bool byImaging_ = false;
    int16_t viewPercent_ = 100;
    bool viewSource_ = false;
    PreparedView prepared_;
    static inline std::atomic<DWORD> delay_{0};
};

}  // namespace tamsel

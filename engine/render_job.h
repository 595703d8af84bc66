#pragma once
// One high-quality rendering off the UI thread. The job owns its arrays: a
// worker computes the rows a block at a time and posts each block's progress,
// and its end, to a window of the UI thread, which publishes the result. A
// cancel stops the worker before its next block.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace tamsel {

// wParam: the job's id; lParam: the percent about to be worked on.
inline constexpr UINT kRenderProgressMessage = WM_APP + 0x31;
// wParam: the job's id; lParam: 1 when every row was computed.
inline constexpr UINT kRenderDoneMessage = WM_APP + 0x32;

class RenderJob {
public:
    struct Shape {
        int32_t srcW, srcH, dstW, dstH;
        int16_t percent;
    };
    // source holds the filled source pixels, target has room for the result.
    RenderJob(uint32_t id, HWND notify, Shape shape, std::vector<uint8_t> source, std::vector<uint8_t> target);
    // Cancels and waits for the worker: the arrays go with the job.
    ~RenderJob();
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    // False when no worker could be started.
    bool Start();
    // The whole job on the calling thread, reporting nothing.
    void RunHere() {
        notify_ = nullptr;
        Run();
    }
    void Cancel() { cancel_.store(true, std::memory_order_relaxed); }
    // The worker's handle, signalled when it has ended.
    HANDLE Worker() const { return thread_; }
    void Wait();

    uint32_t Id() const { return id_; }
    const Shape& GetShape() const { return shape_; }
    bool Complete() const { return complete_.load(std::memory_order_acquire); }
    const uint8_t* Result() const { return target_.data(); }
    // The arrays, for the next job to reuse; the job is empty afterwards.
    void GiveArrays(std::vector<uint8_t>& source, std::vector<uint8_t>& target);

    // Tests slow the worker down (a pause after every block) so that a
    // command surely arrives while a rendering is in flight.
    static void SetPaceForTests(DWORD msPerBlock) { pace_ = msPerBlock; }

private:
    static DWORD WINAPI Main(void* self);
    void Run();

    uint32_t id_;
    HWND notify_;
    Shape shape_;
    std::vector<uint8_t> source_, target_;
    std::atomic<bool> cancel_{false}, complete_{false};
    HANDLE thread_ = nullptr;
    static inline std::atomic<DWORD> pace_{0};
};

}  // namespace tamsel

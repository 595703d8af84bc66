#include "engine/render_job.h"

#include <algorithm>
#include <utility>

#include "engine/hq_scaler.h"

namespace tamsel {

RenderJob::RenderJob(uint32_t id, HWND notify, Shape shape, std::vector<uint8_t> source, std::vector<uint8_t> target)
    : id_(id), notify_(notify), shape_(shape), source_(std::move(source)), target_(std::move(target)) {}

RenderJob::~RenderJob() {
    Cancel();
    Wait();
    if (thread_) CloseHandle(thread_);
}

bool RenderJob::Start() {
    thread_ = CreateThread(nullptr, 0, &RenderJob::Main, this, 0, nullptr);
    return thread_ != nullptr;
}

void RenderJob::Wait() {
    if (thread_) WaitForSingleObject(thread_, INFINITE);
}

DWORD WINAPI RenderJob::Main(void* self) {
    static_cast<RenderJob*>(self)->Run();
    return 0;
}

void RenderJob::Run() {
    const Shape& s = shape_;
    HqScaler scaler(source_.data(), s.srcW, s.srcH, target_.data(), s.dstW, s.dstH, s.percent);
    // Rows are computed top to bottom; the report for column x stands for the
    // same share of the work as columns 0 to x of the column order, so the
    // percentages are those of a run column block by column block.
    int32_t rowsDone = 0;
    for (int32_t x = 0; x < s.dstW; x += 16) {
        if (notify_) PostMessageW(notify_, kRenderProgressMessage, id_, ResizeProgressPercent(x, s.dstW));
        if (cancel_.load(std::memory_order_relaxed)) {
            if (notify_) PostMessageW(notify_, kRenderDoneMessage, id_, 0);
            return;
        }
        const int32_t columns = std::min(x + 16, s.dstW);
        const auto rows = static_cast<int32_t>((static_cast<int64_t>(columns) * s.dstH + s.dstW - 1) / s.dstW);
        scaler.Rows(rowsDone, rows);
        rowsDone = rows;
        if (const DWORD pace = pace_.load(std::memory_order_relaxed)) Sleep(pace);
    }
    complete_.store(true, std::memory_order_release);
    if (notify_) PostMessageW(notify_, kRenderDoneMessage, id_, 1);
}

void RenderJob::GiveArrays(std::vector<uint8_t>& source, std::vector<uint8_t>& target) {
    Wait();  // the worker is done with them
    source = std::move(source_);
    target = std::move(target_);
    source_.clear(), target_.clear();
}

}  // namespace tamsel

#include "engine/decode_job.h"

#include <objbase.h>

#include "engine/picture_services.h"
#include "engine/wic_decoder.h"

namespace tamsel {

DecodeJob::DecodeJob(Decoder decoder, std::wstring path, const std::vector<uint8_t>* bytes, COLORREF background)
    : decoder_(decoder), path_(std::move(path)), bytes_(bytes), background_(background) {}

DecodeJob::~DecodeJob() {
    Cancel();
    if (thread_) {
        Hasten();  // an idle worker is waited for at once, however busy the machine
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
}

bool DecodeJob::Start(bool idle) {
    thread_ = CreateThread(nullptr, 256 * 1024, &Main, this, STACK_SIZE_PARAM_IS_A_RESERVATION | CREATE_SUSPENDED,
                           nullptr);
    if (!thread_) return false;
    if (idle) SetThreadPriority(thread_, THREAD_PRIORITY_IDLE);
    ResumeThread(thread_);
    return true;
}

DWORD WINAPI DecodeJob::Main(void* self) {
    // The decoders are the platform's COM objects: this thread's own apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<DecodeJob*>(self)->Run();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void DecodeJob::Run() {
    for (DWORD waited = 0, delay = delay_.load(); waited < delay && !cancel_.load(std::memory_order_relaxed); waited += 10)
        Sleep(10);
    forms::Picture picture;
    const auto cancelled = [this] { return cancel_.load(std::memory_order_relaxed); };
    if (cancelled()) {
        hr_ = E_ABORT;
    } else {
        if (decoder_ != Decoder::Imaging)
            hr_ = bytes_ ? LoadPictureFromMemory(bytes_->data(), bytes_->size(), picture) : LoadPicture(path_, picture);
        if (decoder_ == Decoder::Imaging || (decoder_ == Decoder::PlatformThenImaging && FAILED(hr_) && !cancelled())) {
            byImaging_ = true;
            picture = forms::Picture();
            hr_ = bytes_ ? LoadWicPictureFromMemory(bytes_->data(), bytes_->size(), background_, picture, &reported_, &cancel_)
                         : LoadWicPicture(path_, background_, picture, &reported_, &cancel_);
        }
    }
    if (SUCCEEDED(hr_) && viewPercent_ != 100) prepared_ = PreparedView::Make(picture, viewPercent_, viewSource_, cancel_);
    picture_ = std::move(picture);
    ended_.store(true, std::memory_order_release);
}

}  // namespace tamsel

#include "engine/read_ahead.h"

namespace tamsel {

bool ReadAhead::StampOf(const std::wstring& path, Stamp& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    stamp.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    stamp.written = (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool ReadAhead::RoomFor(uint64_t pictureBytes) {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    return !GlobalMemoryStatusEx(&memory) || memory.ullAvailPhys >= 2 * pictureBytes;
}

void ReadAhead::Start(const std::wstring& path, uint64_t pictureBytes, int16_t percent, bool source,
                      DecodeJob::Decoder decoder) {
    if (job_ && path == path_ && percent == percent_) return;
    Drop();
    if (!RoomFor(pictureBytes)) return;
    Stamp stamp;
    if (!StampOf(path, stamp)) return;
    auto job = std::make_unique<DecodeJob>(decoder, path, nullptr, GetSysColor(COLOR_WINDOW));
    job->PrepareView(percent, source);
    if (!job->Start(true)) return;
    job_ = std::move(job);
    path_ = path;
    percent_ = percent;
    stamp_ = stamp;
    ++started_;
}

void ReadAhead::Drop() {
    job_.reset();  // stops and waits: its memory goes before anything else is allocated
    path_.clear();
}

std::unique_ptr<DecodeJob> ReadAhead::GiveUp() {
    if (job_) job_->Cancel();
    path_.clear();
    return std::move(job_);
}

forms::Picture ReadAhead::Take(const std::wstring& path, PreparedView& view, int& reported) {
    forms::Picture picture;
    reported = 1;
    if (!job_ || path != path_ || !job_->Ended()) {
        Drop();
        return picture;
    }
    Stamp now;
    if (SUCCEEDED(job_->Result()) && StampOf(path, now) && now == stamp_) {
        picture = job_->TakePicture();
        if (!picture.Empty()) ++taken_;
        view = job_->TakePrepared();
        if (job_->ByImaging()) reported = job_->Reported();
    }
    Drop();
    return picture;
}

}  // namespace tamsel

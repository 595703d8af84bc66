#pragma once
// The neighbour read before the key: one picture of the current folder, the
// next in the direction of the last step, decoded by the platform's loader on
// an idle worker while the user looks at the current one, and held until a
// step takes it, together with its view stages at the view size of the time.
// At most one is held; a file changed since it was read (size or time) is
// read again.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/decode_job.h"
#include "forms/picture.h"

namespace tamsel {

class ReadAhead {
public:
    ReadAhead() = default;
    ~ReadAhead() { Drop(); }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Reads `path` ahead unless it is the one already held or in flight for this view size;
    // whatever else was held goes first. Nothing when the machine has too
    // little free memory for a second picture of its size. Its view stages
    // are made at `percent` (the source rows of the high-quality stage when `source`).
    void Start(const std::wstring& path, uint64_t pictureBytes, int16_t percent, bool source,
               DecodeJob::Decoder decoder = DecodeJob::Decoder::Platform);
    // What is held goes, a read in flight is stopped and waited for.
    void Drop();
    // The picture read ahead for `path` once its read has ended, read whole
    // and the file unchanged since; empty otherwise. Either way nothing is
    // held afterwards. Its view stages go to `view`; `reported` is the
    // orientation the imaging component's metadata gave (1 when it did not read it).
    forms::Picture Take(const std::wstring& path, PreparedView& view, int& reported);
    // The read in flight or ended, for its caller to wait on; none when nothing is held.
    DecodeJob* Job() const { return job_.get(); }
    // The read, stopped and handed over unfinished (its caller waits for it); nothing is held afterwards.
    std::unique_ptr<DecodeJob> GiveUp();
    const std::wstring& Path() const { return path_; }
    bool Holding() const { return job_ != nullptr; }

    // Whether free memory holds twice a picture of this many bytes (the one shown stays).
    static bool RoomFor(uint64_t pictureBytes);
    // For tests: reads begun, and pictures a step took.
    static uint32_t Started() { return started_; }
    static uint32_t Taken() { return taken_; }

private:
    struct Stamp {
        uint64_t size = 0, written = 0;
        bool operator==(const Stamp&) const = default;
    };
    static bool StampOf(const std::wstring& path, Stamp& stamp);

    std::unique_ptr<DecodeJob> job_;
    std::wstring path_;
    int16_t percent_ = 100;
    Stamp stamp_;
    static inline uint32_t started_ = 0, taken_ = 0;
};

}  // namespace tamsel

#pragma once
// A picture's view stages made away from the UI thread: the fast stretch at a
// view size and the high-quality stage's source rows, made by the read-ahead
// worker once its picture is decoded, so that a step onto it only copies them.
// Both are exactly what the UI thread would make from the same picture.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "forms/picture.h"

namespace tamsel {

// The fast stage's size in twips for a picture of these twips at `percent`:
// the product rounded as 32-bit floats, truncated by 100, capped at the screen.
std::pair<int32_t, int32_t> FastTwips(int16_t percent, int32_t widthTwips, int32_t heightTwips);

class PreparedView {
public:
    PreparedView() = default;
    ~PreparedView() { Clear(); }
    PreparedView(PreparedView&& o) noexcept { *this = std::move(o); }
    PreparedView& operator=(PreparedView&& o) noexcept;

    // Made from `picture` (a bitmap) at `percent`: the stretch always, the
    // source rows when `source`. Stops early, holding nothing, on `cancel`.
    static PreparedView Make(const forms::Picture& picture, int16_t percent, bool source, const std::atomic<bool>& cancel);

    // Made from this picture at this view size: they serve only while it is the one shown, at that size.
    bool For(const forms::Picture& picture, int16_t percent) const {
        return of_ && of_ == picture.get() && percent_ == percent;
    }
    // Copies the fast stage into `dc` when it has exactly this size; false otherwise.
    bool PutFast(HDC dc, int w, int h) const;
    // The source rows (24-bit, top row first, no padding) when of this size; empty otherwise.
    std::vector<uint8_t> TakeSource(int w, int h);
    void DropFast();
    void Clear();

private:
    const IPicture* of_ = nullptr;  // compared only, never used
    int16_t percent_ = 0;
    HBITMAP fast_ = nullptr;
    int fastW_ = 0, fastH_ = 0;
    std::vector<uint8_t> source_;
    int sourceW_ = 0, sourceH_ = 0;
};

}  // namespace tamsel

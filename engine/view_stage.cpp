#include "engine/view_stage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "app/numeric.h"
#include "forms/screen.h"

namespace tamsel {

std::pair<int32_t, int32_t> FastTwips(int16_t percent, int32_t widthTwips, int32_t heightTwips) {
    const float pf = percent;
    const int32_t w = RoundToInt32(pf * static_cast<float>(widthTwips)).value_or(0) / 100;
    const int32_t h = RoundToInt32(pf * static_cast<float>(heightTwips)).value_or(0) / 100;
    // Capped by the whole-pixel size a box of these twips would hold.
    int32_t tw = std::max(w, 0), th = std::max(h, 0);
    if (forms::PixelsToTwipsX(forms::TwipsToPixelsX(tw)) > forms::Screen::Width()) tw = forms::Screen::Width();
    if (forms::PixelsToTwipsY(forms::TwipsToPixelsY(th)) > forms::Screen::Height()) th = forms::Screen::Height();
    return {tw, th};
}

PreparedView& PreparedView::operator=(PreparedView&& o) noexcept {
    if (this == &o) return *this;
    Clear();
    of_ = std::exchange(o.of_, nullptr);
    percent_ = std::exchange(o.percent_, 0);
    fast_ = std::exchange(o.fast_, nullptr);
    fastW_ = std::exchange(o.fastW_, 0);
    fastH_ = std::exchange(o.fastH_, 0);
    source_ = std::move(o.source_);
    o.source_.clear();
    sourceW_ = std::exchange(o.sourceW_, 0);
    sourceH_ = std::exchange(o.sourceH_, 0);
    return *this;
}

void PreparedView::DropFast() {
    if (fast_) DeleteObject(fast_);
    fast_ = nullptr;
    fastW_ = fastH_ = 0;
}

void PreparedView::Clear() {
    DropFast();
    std::vector<uint8_t>().swap(source_);
    sourceW_ = sourceH_ = 0;
    of_ = nullptr;
    percent_ = 0;
}

bool PreparedView::PutFast(HDC dc, int w, int h) const {
    if (!fast_ || w != fastW_ || h != fastH_) return false;
    HDC from = CreateCompatibleDC(nullptr);
    if (!from) return false;
    HGDIOBJ old = SelectObject(from, fast_);
    const bool ok = old && BitBlt(dc, 0, 0, w, h, from, 0, 0, SRCCOPY);
    if (old) SelectObject(from, old);
    DeleteDC(from);
    return ok;
}

std::vector<uint8_t> PreparedView::TakeSource(int w, int h) {
    std::vector<uint8_t> rows;
    if (!source_.empty() && w == sourceW_ && h == sourceH_) rows.swap(source_);
    std::vector<uint8_t>().swap(source_);
    sourceW_ = sourceH_ = 0;
    return rows;
}

PreparedView PreparedView::Make(const forms::Picture& picture, int16_t percent, bool source,
                                const std::atomic<bool>& cancel) {
    PreparedView v;
    if (percent == 100 || picture.Type() != PICTYPE_BITMAP) return v;
    const int w = picture.WidthPixels(), h = picture.HeightPixels();
    const auto [tw, th] = FastTwips(percent, forms::PixelsToTwipsX(w), forms::PixelsToTwipsY(h));
    const int dw = forms::TwipsToPixelsX(tw), dh = forms::TwipsToPixelsY(th);
    if (w <= 0 || h <= 0 || dw <= 0 || dh <= 0) return v;
    HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
    HGDIOBJ fromOld = from ? SelectObject(from, static_cast<HBITMAP>(picture.Handle())) : nullptr;
    bool ok = fromOld && to;
    // As the UI thread stretches: colour pictures keep their colours when lines are dropped.
    if (ok && (v.fast_ = forms::CreateDib24(dw, dh)) != nullptr) {
        HGDIOBJ toOld = SelectObject(to, v.fast_);
        SetStretchBltMode(to, COLORONCOLOR);
        ok = toOld && StretchBlt(to, 0, 0, dw, dh, from, 0, 0, w, h, SRCCOPY);
        if (toOld) SelectObject(to, toOld);
        v.fastW_ = dw, v.fastH_ = dh;
    } else {
        ok = false;
    }
    // The source rows as the UI thread copies them: through a 24-bit surface,
    // a band at a time, the padding of each row left out.
    if (ok && source && !cancel.load(std::memory_order_relaxed)) {
        const int band = std::max(1, std::min(h, (4 << 20) / (w * 4)));
        const size_t row = size_t(w) * 3, stride = (row + 3) & ~size_t{3};
        void* bits = nullptr;
        HBITMAP rows = forms::CreateDib24(w, band, &bits);
        HGDIOBJ toOld = rows ? SelectObject(to, rows) : nullptr;
        try {
            if (toOld) v.source_.resize(row * h);
        } catch (const std::bad_alloc&) {
            v.source_.clear();
        }
        for (int top = 0; toOld && !v.source_.empty() && top < h; top += band) {
            if (cancel.load(std::memory_order_relaxed)) {
                std::vector<uint8_t>().swap(v.source_);
                break;
            }
            const int n = std::min(band, h - top);
            if (!BitBlt(to, 0, 0, w, n, from, 0, top, SRCCOPY)) {
                std::vector<uint8_t>().swap(v.source_);
                break;
            }
            GdiFlush();
            for (int r = 0; r < n; ++r)
                std::memcpy(v.source_.data() + (size_t(top) + r) * row, static_cast<uint8_t*>(bits) + r * stride, row);
        }
        if (toOld) SelectObject(to, toOld);
        if (rows) DeleteObject(rows);
        if (!v.source_.empty()) v.sourceW_ = w, v.sourceH_ = h;
    }
    if (fromOld) SelectObject(from, fromOld);
    if (from) DeleteDC(from);
    if (to) DeleteDC(to);
    if (!ok || cancel.load(std::memory_order_relaxed)) return PreparedView();
    v.of_ = picture.get();
    v.percent_ = percent;
    return v;
}

}  // namespace tamsel

// View-size rendering: the fast stretch and the high-quality scaler, both
// into the engine's picBlt.
#include <algorithm>
#include <new>
#include <vector>

#include "app/mdlTamsel.h"
#include "app/numeric.h"
#include "engine/frmBackground.h"
#include "engine/hq_scaler.h"
#include "engine/rastel_library.h"
#include "forms/screen.h"

namespace tamsel {

void FrmBackground::FirstResizePicture() {
    if (CurrentViewSize != 100) StretchPicture(CurrentViewSize);
}

bool FrmBackground::ResizePicture(forms::Label* lblProgress) {
    return CurrentViewSize == 100 || SmoothResizePicture(CurrentViewSize, lblProgress);
}

FrmBackground::Sizes FrmBackground::SizeTarget(int16_t p) {
    picBlt.Cls();
    // p and the twips sizes as 32-bit floats, their product rounded, then truncated by 100.
    const float pf = p;
    const int32_t w = RoundToInt32(pf * static_cast<float>(picLoad.Width())).value_or(0) / 100;
    const int32_t h = RoundToInt32(pf * static_cast<float>(picLoad.Height())).value_or(0) / 100;
    // Capped at the screen before the box takes the size: a surface of the
    // uncapped size (80 MB for a 12-megapixel picture at 150 %) would be made
    // and cleared for nothing. The cap compares the whole-pixel size the box would hold.
    int32_t tw = std::max(w, 0), th = std::max(h, 0);
    if (forms::PixelsToTwipsX(forms::TwipsToPixelsX(tw)) > forms::Screen::Width()) tw = forms::Screen::Width();
    if (forms::PixelsToTwipsY(forms::TwipsToPixelsY(th)) > forms::Screen::Height()) th = forms::Screen::Height();
    picBlt.Move(0, 0, tw, th);
    return {picLoad.ScaleWidth(), picLoad.ScaleHeight(), picBlt.ScaleWidth(), picBlt.ScaleHeight()};
}

void FrmBackground::StretchPicture(int16_t p) {
    const Sizes s = SizeTarget(p);
    // Colour pictures keep their colours when lines are dropped.
    const int oldMode = SetStretchBltMode(picBlt.hDC(), COLORONCOLOR);
    picLoad.StretchTo(picBlt.hDC(), 0, 0, s.dstW, s.dstH, s.srcW, s.srcH);
    SetStretchBltMode(picBlt.hDC(), oldMode);
    picBlt.Refresh();
}

bool FrmBackground::SmoothResizePicture(int16_t p, forms::Label* label) {
    ResizeCancel = kFalse;
    forms::BusyPointer busy;  // the default pointer comes back on every way out
    const Sizes s = SizeTarget(p);
    const uint32_t serial = mViewSerial;

    // No target pixel, no pixel buffer, or no memory for the arrays: the fast
    // result stays in place rather than an empty surface.
    if (s.dstW <= 0 || s.dstH <= 0 || s.srcW <= 0 || s.srcH <= 0 || !mhBufferDC) {
        StretchPicture(p);
        return true;
    }
    // This run's own arrays: the kept ones when no other run holds them.
    std::vector<uint8_t> source, target;
    source.swap(mScaleSource);
    target.swap(mScaleTarget);
    struct GiveBack {
        FrmBackground& f;
        std::vector<uint8_t>& source;
        std::vector<uint8_t>& target;
        ~GiveBack() {
            if (f.IsLoaded() && f.mScaleSource.empty() && f.mScaleTarget.empty()) {
                f.mScaleSource.swap(source);
                f.mScaleTarget.swap(target);
            }
        }
    } giveBack{*this, source, target};
    try {
        // Every byte of both is written before it is read. An array more than
        // twice the size needed (a much larger picture before) is given back.
        auto fit = [](std::vector<uint8_t>& v, size_t n) {
            if (v.capacity() / 2 > n) std::vector<uint8_t>().swap(v);
            v.resize(n);
        };
        fit(source, static_cast<size_t>(s.srcW) * s.srcH * 3);
        fit(target, static_cast<size_t>(s.dstW) * s.dstH * 3);
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(source);
        std::vector<uint8_t>().swap(target);
        StretchPicture(p);
        return true;
    }
    if (!rastel::ChangeSize(mhBufferDC, s.srcW, s.srcH)) {
        StretchPicture(p);
        return true;
    }
    picLoad.StretchTo(reinterpret_cast<HDC>(mhBufferDC), 0, 0, s.srcW, s.srcH, s.srcW, s.srcH);
    rastel::GetData(mhBufferDC, source.data());

    HqScaler scaler(source.data(), s.srcW, s.srcH, target.data(), s.dstW, s.dstH, p);
    if (label) {
        // Rows are computed top to bottom; each report of column x stands for
        // the same share of the work as columns 0 to x of the column order.
        int32_t rowsDone = 0;
        for (int32_t x = 0; x < s.dstW; x += 16) {
            label->SetCaption(L"Resize ... " + std::to_wstring(ResizeProgressPercent(x, s.dstW)) + L"%");
            forms::DoEvents();
            // After a command run from the pump showed a newer view or picture,
            // this run still finishes with its own sizes, but its result is
            // stale: no Escape applies to it and nothing of it is published.
            if (ResizeCancel && mViewSerial == serial) {
                StretchPicture(CurrentViewSize);
                return true;
            }
            const int32_t columns = std::min(x + 16, s.dstW);
            const auto rows = static_cast<int32_t>((static_cast<int64_t>(columns) * s.dstH + s.dstW - 1) / s.dstW);
            scaler.Rows(rowsDone, rows);
            rowsDone = rows;
        }
    } else {
        scaler.Run();
    }
    if (mViewSerial != serial) return false;  // what the nested command showed stays

    if (!rastel::ChangeSize(mhBufferDC, s.dstW, s.dstH)) {
        StretchPicture(p);
        return true;
    }
    rastel::SetData(mhBufferDC, target.data());
    BitBlt(picBlt.hDC(), 0, 0, s.dstW, s.dstH, reinterpret_cast<HDC>(mhBufferDC), 0, 0, SRCCOPY);
    picBlt.Refresh();
    return true;
}

}  // namespace tamsel

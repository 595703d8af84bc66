// View-size rendering: the fast stretch and the high-quality scaler, both
// into the engine's picBlt.
#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/loading.h"
#include "engine/hq_scaler.h"
#include "engine/rastel_library.h"
#include "engine/view_stage.h"
#include "forms/screen.h"

namespace tamsel {

void FrmBackground::FirstResizePicture() {
    if (CurrentViewSize != 100) StretchPicture(CurrentViewSize);
}

FrmBackground::Sizes FrmBackground::SizeTarget(int16_t p) {
    picBlt.Cls();
    // Capped at the screen before the box takes the size: a surface of the
    // uncapped size (80 MB for a 12-megapixel picture at 150 %) would be made
    // and cleared for nothing.
    const auto [tw, th] = FastTwips(p, picLoad.Width(), picLoad.Height());
    picBlt.Move(0, 0, tw, th);
    return {picLoad.ScaleWidth(), picLoad.ScaleHeight(), picBlt.ScaleWidth(), picBlt.ScaleHeight()};
}

void FrmBackground::StretchPicture(int16_t p) {
    const Sizes s = SizeTarget(p);
    // Colour pictures keep their colours when lines are dropped.
    // A step onto the picture read ahead finds this stretch made already.
    if (mPrepared.For(picLoad.GetPicture(), p) && mPrepared.PutFast(picBlt.hDC(), s.dstW, s.dstH)) {
        ++mPreparedUsed.fast;
    } else {
        const int oldMode = SetStretchBltMode(picBlt.hDC(), COLORONCOLOR);
        picLoad.StretchTo(picBlt.hDC(), 0, 0, s.dstW, s.dstH, s.srcW, s.srcH);
        SetStretchBltMode(picBlt.hDC(), oldMode);
    }
    mPrepared.DropFast();
    picBlt.Refresh();
    mFastSerial = mViewSerial;
    mFastPercent = p;
}

void FrmBackground::NewView() {
    ++mViewSerial;
    CancelRender();
}

void FrmBackground::StartRender(forms::PictureBox* picView, forms::Label* label) {
    CancelRender();
    const int16_t p = CurrentViewSize;
    if (p == 100) return;
    ResizeCancel = kFalse;
    // The hourglass from here to the job's end, and back to the default pointer on every way out.
    mJobBusy.emplace();
    struct Unbusy {
        FrmBackground& f;
        ~Unbusy() {
            if (!f.mJob) f.mJobBusy.reset();
        }
    } unbusy{*this};
    // The fast result of this view is in picBlt (ApplyViewSize made it just
    // before) and stays there until the job's result replaces it: picBlt
    // always holds what the window shows, never a cleared surface.
    if (mFastSerial != mViewSerial || mFastPercent != p) StretchPicture(p);
    const Sizes s{picLoad.ScaleWidth(), picLoad.ScaleHeight(), picBlt.ScaleWidth(), picBlt.ScaleHeight()};
    // The source rows of the picture read ahead serve this job or none.
    std::vector<uint8_t> prepared;
    if (mPrepared.For(picLoad.GetPicture(), p)) prepared = mPrepared.TakeSource(s.srcW, s.srcH);
    mPrepared.Clear();
    // No target pixel or no pixel buffer: the fast result stays.
    if (s.dstW <= 0 || s.dstH <= 0 || s.srcW <= 0 || s.srcH <= 0 || !mhBufferDC) return;

    // The job's own arrays: the kept ones, or new ones. Every byte of both is
    // written before it is read. An array more than twice the size needed (a
    // much larger picture before) is given back.
    std::vector<uint8_t> source, target;
    // The picture read ahead came with its source rows: the kept array goes.
    if (prepared.empty())
        source.swap(mScaleSource);
    else
        std::vector<uint8_t>().swap(mScaleSource);
    target.swap(mScaleTarget);
    try {
        auto fit = [](std::vector<uint8_t>& v, size_t n) {
            if (v.capacity() / 2 > n) std::vector<uint8_t>().swap(v);
            v.resize(n);
        };
        if (prepared.empty()) fit(source, static_cast<size_t>(s.srcW) * s.srcH * 3);
        fit(target, static_cast<size_t>(s.dstW) * s.dstH * 3);
    } catch (const std::bad_alloc&) {
        return;  // no memory for the arrays: the fast result stays
    }
    if (!prepared.empty()) {
        source.swap(prepared);
        ++mPreparedUsed.source;
    } else {
        if (!rastel::ChangeSize(mhBufferDC, s.srcW, s.srcH)) return;
        picLoad.StretchTo(reinterpret_cast<HDC>(mhBufferDC), 0, 0, s.srcW, s.srcH, s.srcW, s.srcH);
        rastel::GetData(mhBufferDC, source.data());
    }

    auto job = std::make_unique<RenderJob>(++mJobCount, mNotify, RenderJob::Shape{s.srcW, s.srcH, s.dstW, s.dstH, p},
                                           std::move(source), std::move(target));
    mJob = std::move(job);
    mJobView = picView;
    mJobLabel = label;
    mJobBusy.emplace();
    // Without a label, or without a worker, the rows are computed here.
    if (!label || !mNotify || !mJob->Start()) {
        mJob->RunHere();
        EndRender(true);
    }
}

void FrmBackground::FinishRender() {
    // Other keys wait, with their modifiers, until the command that waits here has run.
    forms::HoldingInput hold;
    while (mJob) {
        HANDLE worker = mJob->Worker();
        MsgWaitForMultipleObjectsEx(worker ? 1 : 0, &worker, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG m;
        // Its own reports and its end; paint for every window; Escape wherever it waits, and no other command.
        while (mJob && PeekMessageW(&m, mNotify, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        while (PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&m);
        bool escape = false;
        forms::HoldKeys(
            [](const MSG& key, int shift, void* escape) {
                const bool stop = key.message == WM_KEYDOWN &&
                                  Decide(Work::Render, CommandOfKey(static_cast<int>(key.wParam), shift)) ==
                                      Decision::CancelOnly;
                if (stop) *static_cast<bool*>(escape) = true;
                return stop;
            },
            &escape);
        if (escape && mJob) {
            ResizeCancel = kTrue;
            CancelRender();
        }
    }
}

void FrmBackground::CancelRender() { EndRender(false); }

void FrmBackground::Arrive(Arriving command) {
    // The read-ahead gives way to a command that needs the machine; its Escape stops nothing else.
    if ((mAhead.Holding() || !mPluginAhead.empty()) && Decide(Work::ReadAhead, command) == Decision::CancelThenRun)
        DropReadAhead();
    if (!mJob) return;
    switch (Decide(Work::Render, command)) {
    case Decision::CancelThenRun:
    case Decision::CancelOnly: CancelRender(); break;
    case Decision::WaitThenRun: FinishRender(); break;
    case Decision::Run:
    case Decision::RunAfter: break;
    }
}

void FrmBackground::EndRender(bool publish) {
    if (!mJob) return;
    std::unique_ptr<RenderJob> job = std::move(mJob);
    forms::PictureBox* view = std::exchange(mJobView, nullptr);
    forms::Label* label = std::exchange(mJobLabel, nullptr);
    job->Cancel();
    job->Wait();
    const RenderJob::Shape& s = job->GetShape();
    if (publish && job->Complete() && rastel::ChangeSize(mhBufferDC, s.dstW, s.dstH)) {
        rastel::SetData(mhBufferDC, job->Result());
        BitBlt(picBlt.hDC(), 0, 0, s.dstW, s.dstH, reinterpret_cast<HDC>(mhBufferDC), 0, 0, SRCCOPY);
        picBlt.Refresh();
        if (view) view->SetPicture(picBlt.Image());
    }
    if (label) label->SetVisible(false);
    mJobBusy.reset();
    // A finished job's arrays serve the next one; a cancelled job's are freed
    // now, before the next one allocates.
    if (publish && job->Complete()) {
        ++mRendersCompleted;
        job->GiveArrays(mScaleSource, mScaleTarget);
        ReadAheadAfterShowing();  // the picture shown is complete: the machine is free for the next one
    }
}

void FrmBackground::OnRenderMessage(UINT message, WPARAM id, LPARAM value) {
    // Reports of a job that is no longer the current one are stale.
    if (!mJob || mJob->Id() != static_cast<uint32_t>(id)) return;
    if (message == kRenderProgressMessage) {
        if (mJobLabel) mJobLabel->SetCaption(L"Resize ... " + std::to_wstring(value) + L"%");
    } else if (message == kRenderDoneMessage) {
        EndRender(value != 0);
    }
}

LRESULT CALLBACK FrmBackground::NotifyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRenderProgressMessage || message == kRenderDoneMessage) {
        frmBackground.OnRenderMessage(message, wParam, lParam);
        return 0;
    }
    if (message == WM_TIMER && wParam == kAheadTimer) {
        frmBackground.OnReadAheadTimer();
        return 0;
    }
    if (message == WM_TIMER && wParam == kIdleAheadTimer) {
        KillTimer(hwnd, kIdleAheadTimer);
        ReadAheadAfterShowing();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace tamsel

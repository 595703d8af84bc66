#pragma once
// The hidden engine form: owns the loaded picture (picLoad), the picture at
// the view size (picBlt), the open and save dialogs and the plug-in host.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/command_rules.h"
#include "engine/decode_job.h"
#include "engine/read_ahead.h"
#include "engine/render_job.h"
#include "engine/susie_plugin.h"
#include "forms/controls.h"
#include "forms/dialogs.h"
#include "forms/form.h"
#include "forms/screen.h"

namespace tamsel {

class FrmBackground : public forms::Form {
public:
    forms::CommonDialog CommonDialog;
    forms::CommonDialog cdlgSaveAs;
    forms::PictureBox picLoad;
    forms::PictureBox picBlt;
    SusiePluginHost SusiePlugin;

    // Open dialog, then load the chosen file, reporting plug-in progress on the label.
    void PictureLoad(forms::Label* lblProgress);
    // Loads the file into picLoad; True on success. A failure keeps the old
    // picture and, with blnErrMsgbox, is reported in a message box.
    // False too, with nothing said, when the load gave way to a newer picture
    // the user asked for (GaveWay tells).
    // The name is taken by value: whatever a command run meanwhile does to
    // the variable it came from (the dialog's FileName, CurrentFileName), this
    // load names its own file.
    bool PictureLoadRun(std::wstring strFileName, bool blnErrMsgbox);
    void SusiePlugin_ProgressValueChange();
    // While a plug-in loads: the windows paint, Escape cancels the load, a new
    // picture asked for (a dropped file, an open, a paste, a step) cancels it
    // too, and every command waits until the load has returned.
    void WhileLoading();
    // The file the last PictureLoadRun gave up for a newer picture the user
    // asked for; empty when it did not.
    const std::wstring& GaveWay() const { return mGaveWay; }
    // Whether the last load was given up (Escape, or a new picture) during a decode.
    bool Stopped() const { return mStopped; }
    // Whether a decode runs on its worker now (any thread may ask).
    bool Decoding() const { return mDecoding.load(std::memory_order_relaxed); }
    // The open dialog's filter, made when first needed (PictureLoad does).
    void SettleOpenDialog();
    // The patterns of the dialog's "all pictures" entry ("*.bmp;*.jpg;...").
    const std::wstring& PicturePatterns() {
        SettleOpenDialog();
        return mPicturePatterns;
    }
    // The archives' patterns: the archive plug-ins' and ZIP's.
    const std::wstring& ArchivePatterns() {
        SettleOpenDialog();
        return mArchivePatterns;
    }

    // The neighbour read ahead: started once the picture shown is complete,
    // taken by the step onto it (which then decodes nothing), dropped by any
    // other load. StepOntoReadAhead shows it as PictureLoadRun shows a file;
    // false when it does not hold that file (or the user stopped the wait for it).
    void StartReadAhead(const std::wstring& path);
    bool StepOntoReadAhead(const std::wstring& path);
    void DropReadAhead(bool keepPluginAheadOf = false, const std::wstring& path = {});
    // The read-ahead of the picture shown begins after the paints waiting now (a timer's turn).
    void ReadAheadWhenIdle() {
        if (mNotify) SetTimer(mNotify, kIdleAheadTimer, 0, nullptr);
    }
    const ReadAhead& Ahead() const { return mAhead; }
    // The file the plug-ins read ahead in their hosts (empty: none), and, for tests, how many were begun.
    const std::wstring& PluginAhead() const { return mPluginAhead; }
    uint32_t PluginAheadsStarted() const { return mPluginAheadsStarted; }
    // For tests: view stages the read-ahead made that a step used instead of making them.
    struct PreparedUse {
        uint32_t fast = 0, source = 0;
    };
    PreparedUse PreparedUsed() const { return mPreparedUsed; }

    // The archive whose entry is shown; none when the picture shown is no
    // archive entry.
    const ArchivePictures* ShownArchive() const;
    // Loads entry `i` of the shown archive as PictureLoadRun loads a file
    // (no message); True when it loaded. GaveWay tells a load given up.
    bool ArchiveEntryLoadRun(size_t i);

    // The picture at the current view size into picBlt by the fast stretch;
    // nothing at 100 %.
    void FirstResizePicture();
    // The high-quality result of the current view replaces the fast one in
    // picBlt and in picView. With a label the scaler runs off the UI thread,
    // with "Resize ... N%" on the label, and this returns at once; without
    // one it runs here. Nothing at 100 %.
    void StartRender(forms::PictureBox* picView, forms::Label* lblProgress);
    // A rendering in flight runs to its end and is published before this
    // returns; meanwhile the windows paint and Escape stops it (the fast
    // result then stays). For commands that read the picture shown.
    void FinishRender();
    // A rendering in flight stops within one block of rows and its memory is
    // freed; what is shown stays, its label hides.
    void CancelRender();
    bool Rendering() const { return mJob != nullptr; }
    // What a command must do first with the rendering in flight, as the
    // rules decide: cancel it, or let it finish and be shown.
    void Arrive(Arriving command);
    // How many renderings ran to their end and were shown.
    uint32_t RendersCompleted() const { return mRendersCompleted; }

    // What the viewer shows is about to change (a new view, a new picture):
    // a rendering in flight is cancelled and publishes nothing.
    void NewView();

    // Handle of the engine's pixel buffer; 0 while there is none.
    intptr_t mhBufferDC = 0;

    forms::Label* ProgressLabel() const { return mlblProgress; }

protected:
    void InitializeComponent() override;
    void Form_Load() override;
    void Form_Unload(int& cancel) override;

private:
    struct Sizes {
        int32_t srcW, srcH, dstW, dstH;
    };
    Sizes SizeTarget(int16_t p);
    void StretchPicture(int16_t p);
    void OnRenderMessage(UINT message, WPARAM id, LPARAM value);
    static LRESULT CALLBACK NotifyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void EndRender(bool publish);
    // The archive's first picture that decodes, shown; False when it is no
    // archive read here, has no picture that decodes, or the load gave way.
    bool ArchiveLoadRun(const std::wstring& path);
    bool LoadArchiveEntry(ArchivePictures& archive, size_t i);
    // A file's bytes decoded into picLoad, upright; `name` gives plug-ins,
    // which read files, the extension of the copy they are given.
    bool DecodeBytes(const std::vector<uint8_t>& bytes, const std::wstring& name);
    // One decoder over a file (or `bytes`) on a worker while the windows paint
    // and keys are heard: the picture into picLoad, or why not.
    enum class Decoded { Yes, No, Stopped };
    Decoded DecodeAway(DecodeJob::Decoder decoder, const std::wstring& path, const std::vector<uint8_t>* bytes,
                       int* reported = nullptr);
    // Waits for a job's worker while the windows paint and keys are heard;
    // false when the user gave the load up or asked for another picture.
    bool Await(DecodeJob& job);
    // A decode given up earlier ends (its picture freed) before another
    // starts; false when the user stopped the load meanwhile.
    bool SettleAbandoned();
    // What the user asked while a load runs: Escape (give up), or a new picture
    // or closing (give way); paints are done, other keys held.
    struct LoadAsked {
        bool escape = false, newPicture = false;
    };
    LoadAsked HearWhileLoading();

    forms::Label* mlblProgress = nullptr;
    bool mLoadLeftForNewPicture = false;  // asked during the load in flight
    std::wstring mGaveWay;
    bool mStopped = false;
    std::atomic<bool> mDecoding{false};
    bool mFilterPending = false;
    std::wstring mPicturePatterns, mArchivePatterns;
    bool mPluginsInstalled = false;  // a picture or archive plug-in, known with the patterns
    std::optional<ArchivePictures> mArchive;  // the archive last opened
    std::unique_ptr<DecodeJob> mAbandoned;    // a decode given up, ended before the next one starts
    ReadAhead mAhead;
    std::wstring mPluginAhead;
    // What a read-ahead is made for: the view size the step will show, and the memory it needs.
    struct AheadShape {
        int16_t percent = 100;
        bool source = false;
        uint64_t bytes = 0;
    };
    AheadShape AheadShapeNow();
    void ReadAheadAfterPlugins(const std::wstring& path, const AheadShape& shape);
    void StopPluginAhead();
    static constexpr UINT_PTR kAheadTimer = 1, kIdleAheadTimer = 2;
    void OnReadAheadTimer();
    uint32_t mPluginAheadsStarted = 0;
    // The view stages of the picture a step took from the read-ahead, until
    // its view has used them or is past them.
    PreparedView mPrepared;
    PreparedUse mPreparedUsed;
    uint32_t mViewSerial = 0;
    // The scaler's arrays, kept from one finished rendering to the next:
    // zooming the same picture again then costs no fresh pages (a tenth of a
    // second for 12 megapixels). A job owns them while it runs; a cancelled
    // job frees them before the next one allocates. Released with the form,
    // and when a much smaller picture follows.
    std::vector<uint8_t> mScaleSource, mScaleTarget;
    // The rendering in flight, the window it renders for, and where its end
    // and progress arrive (a message-only window of the UI thread).
    std::unique_ptr<RenderJob> mJob;
    forms::PictureBox* mJobView = nullptr;
    forms::Label* mJobLabel = nullptr;
    HWND mNotify = nullptr;
    uint32_t mJobCount = 0;  // every job its own id: a cancelled one's late reports are known as stale
    uint32_t mRendersCompleted = 0;
    std::optional<forms::BusyPointer> mJobBusy;  // the hourglass while it runs
    // The view whose fast result picBlt holds.
    uint32_t mFastSerial = ~0u;
    int16_t mFastPercent = 0;
};

extern FrmBackground frmBackground;

}  // namespace tamsel

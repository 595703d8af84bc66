#include "engine/frmBackground.h"

#include <algorithm>
#include <utility>

#include "app/mdlTamsel.h"
#include "engine/loading.h"
#include "engine/open_filter.h"
#include "engine/picture_services.h"
#include "engine/rastel_library.h"
#include "engine/turning.h"
#include "engine/wic_decoder.h"
#include "engine/wic_formats.h"

namespace tamsel {

FrmBackground frmBackground;

void FrmBackground::InitializeComponent() {
    picLoad.AutoSize = true;
    picLoad.AutoRedraw = true;
    picLoad.Create(*this, 0, 0, 1500, 1500);
    picBlt.AutoRedraw = true;
    picBlt.Create(*this, 0, 0, 1500, 1500);
}

void FrmBackground::Form_Load() {
    // No control (not installed) leaves the engine as one without plug-ins.
    SusiePlugin.Create();
    SusiePlugin.ProgressValueChange = [this] { SusiePlugin_ProgressValueChange(); };
    SusiePlugin.Start();
    // The plug-ins' patterns come from their host processes, which start in
    // the background: asked for when the dialog first opens, not at start-up.
    mFilterPending = true;
    // Where a rendering's progress and end arrive on this thread.
    static const ATOM notifyClass = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &FrmBackground::NotifyProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Tamsel2RenderNotify";
        return RegisterClassW(&wc);
    }();
    mNotify = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(notifyClass)), L"", 0, 0, 0, 0, 0,
                              HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    CommonDialog.FilterIndex = 2;
    CommonDialog.Flags = 0x1000;  // the chosen file must exist
    CommonDialog.CancelError = true;
    mhBufferDC = rastel::Create(100, 100);
    SweepTempLeftovers();  // of runs that ended without cleaning up
}

void FrmBackground::Form_Unload(int& cancel) {
    (void)cancel;
    SusiePlugin.ProgressValueChange = nullptr;
    SusiePlugin.Destroy();  // its last extracted copy goes with it
    mArchive.reset();
    mAhead.Drop();
    mPluginAhead.clear();  // the control stops it as it goes
    mAbandoned.reset();
    mPrepared.Clear();
    RemoveOwnTempFolder();
    mlblProgress = nullptr;
    NewView();  // a rendering this unload interrupted publishes nothing
    if (mNotify) DestroyWindow(mNotify);
    mNotify = nullptr;
    rastel::Delete(mhBufferDC);
    mhBufferDC = 0;
    std::vector<uint8_t>().swap(mScaleSource);
    std::vector<uint8_t>().swap(mScaleTarget);
}

bool FrmBackground::PictureLoadRun(std::wstring strFileName, bool blnErrMsgbox) {
    mGaveWay.clear();
    mStopped = false;
    // An archive reaches only the plug-ins before the archive readers: no picture decoder reads one.
    const bool archive = FileLooksLikeArchive(strFileName);
    // The turn a photo needs is known before any decoder reads it: its memory is made ready meanwhile.
    TurnMemory ready;
    int orientation = 1;
    if (Settings.ExifOrientation && !archive) {
        const FileFacts facts = FileFactsOf(strFileName);
        orientation = facts.orientation;
        if (orientation != 1 && facts.width > 0)
            SwapsSides(orientation) ? ready.Prepare(facts.height, facts.width) : ready.Prepare(facts.width, facts.height);
    }
    // Escape during a decode ends the load; a new picture asked for meanwhile comes next, without a word about this one.
    mLoadLeftForNewPicture = false;
    auto stopped = [&] {
        if (std::exchange(mLoadLeftForNewPicture, false)) {
            mGaveWay = strFileName;
        } else if (blnErrMsgbox) {  // given up by Escape: told as for a file no decoder reads, as a plug-in's load is
            forms::MsgBox(L"画像ファイルを開くことが出来ませんでした！", 48, L"未対応フォーマット");
        }
        return false;
    };
    Decoded platform = archive ? Decoded::No : DecodeAway(DecodeJob::Decoder::Platform, strFileName, nullptr);
    if (platform == Decoded::Stopped) return stopped();
    bool loaded = platform == Decoded::Yes;
    if (!loaded) {
        forms::HoldingInput hold;  // no command runs inside the plug-ins' load
        forms::Picture fromHost;
        mLoadLeftForNewPicture = false;
        // S_FALSE: the host refused the request and returned no picture.
        loaded = SusiePlugin.LoadSusiePicture(strFileName, fromHost) == S_OK && !fromHost.Empty() &&
                 picLoad.SetPicture(fromHost);
        // Given up for a newer picture the user asked for: that one comes next, without a word about this one.
        if (!loaded && std::exchange(mLoadLeftForNewPicture, false)) {
            mGaveWay = std::move(strFileName);
            return false;
        }
    }
    if (!loaded && !archive) {
        // Last, so that a user's plug-in keeps the formats it reads.
        int reported = 1;
        const Decoded imaging = DecodeAway(DecodeJob::Decoder::Imaging, strFileName, nullptr, &reported);
        if (imaging == Decoded::Stopped) return stopped();
        loaded = imaging == Decoded::Yes;
        // The first bytes said nothing: what the decoder's metadata says.
        if (Settings.ExifOrientation && orientation == 1) orientation = reported;
    }
    if (loaded) {
        // Upright, whichever decoder read it, before any view is made of it.
        if (orientation != 1) TurnPicture(picLoad, orientation, &ready);
        NewView();
    } else if (ArchiveLoadRun(strFileName)) {
        return true;
    } else if (!mGaveWay.empty() || mStopped) {
        return false;
    }
    if (!loaded) {
        if (blnErrMsgbox) forms::MsgBox(L"画像ファイルを開くことが出来ませんでした！", 48, L"未対応フォーマット");
        return false;
    }
    CurrentFileName = std::move(strFileName);
    mArchive.reset();
    return true;
}

const ArchivePictures* FrmBackground::ShownArchive() const {
    return mArchive && mArchive->shown < mArchive->names.size() && CurrentFileName == mArchive->NameOf(mArchive->shown)
               ? &*mArchive
               : nullptr;
}

bool FrmBackground::ArchiveLoadRun(const std::wstring& path) {
    std::optional<ArchivePictures> archive;
    {
        forms::HoldingInput hold;  // an archive plug-in may be listing it
        archive = ListArchivePictures(path, SusiePlugin, SplitPatterns(PicturePatterns()), ShellOrder);
    }
    if (!archive) return false;
    for (size_t i = 0; i < archive->names.size(); ++i) {
        if (LoadArchiveEntry(*archive, i)) {
            mArchive = std::move(archive);
            return true;
        }
        if (!mGaveWay.empty()) {
            mGaveWay = path;
            return false;
        }
        if (mStopped) return false;
    }
    return false;
}

bool FrmBackground::ArchiveEntryLoadRun(size_t i) {
    mGaveWay.clear();
    mStopped = false;
    if (!ShownArchive()) return false;
    const std::wstring path = mArchive->path;
    if (LoadArchiveEntry(*mArchive, i)) return true;
    if (!mGaveWay.empty()) mGaveWay = path;
    return false;
}

bool FrmBackground::LoadArchiveEntry(ArchivePictures& archive, size_t i) {
    std::vector<uint8_t> bytes;
    bool read;
    {
        forms::HoldingInput hold;  // its plug-in may be extracting it
        read = ArchiveEntryBytes(archive, i, SusiePlugin, bytes);
    }
    if (!read || !DecodeBytes(bytes, archive.names[i])) return false;
    NewView();
    archive.shown = i;
    CurrentFileName = archive.NameOf(i);
    return true;
}

bool FrmBackground::DecodeBytes(const std::vector<uint8_t>& bytes, const std::wstring& name) {
    // Given up during a decode: for a new picture, that one comes next.
    auto stopped = [&] {
        if (std::exchange(mLoadLeftForNewPicture, false)) mGaveWay = name;
        return false;
    };
    mLoadLeftForNewPicture = false;
    const Decoded platform = DecodeAway(DecodeJob::Decoder::Platform, L"", &bytes);
    if (platform == Decoded::Stopped) return stopped();
    bool loaded = platform == Decoded::Yes;
    if (!loaded && SusiePlugin.HasControl()) {
        // Plug-ins read files: a copy of the entry, removed as soon as they have read it.
        const std::wstring copy = WriteEntryCopy(bytes, name);
        if (!copy.empty()) {
            {
                forms::HoldingInput hold;
                forms::Picture fromHost;
                loaded = SusiePlugin.LoadSusiePicture(copy, fromHost) == S_OK && !fromHost.Empty() &&
                         picLoad.SetPicture(fromHost);
            }
            DeleteFileW(copy.c_str());
            if (!loaded && mLoadLeftForNewPicture) return stopped();
        }
    }
    int reported = 1;
    if (!loaded) {
        const Decoded imaging = DecodeAway(DecodeJob::Decoder::Imaging, L"", &bytes, &reported);
        if (imaging == Decoded::Stopped) return stopped();
        loaded = imaging == Decoded::Yes;
    }
    if (!loaded) return false;
    if (Settings.ExifOrientation) {
        int orientation = ExifOrientation(bytes.data(), std::min(bytes.size(), kOrientationMostRead));
        if (orientation == 1) orientation = reported;
        if (orientation != 1) TurnPicture(picLoad, orientation);
    }
    return true;
}

void FrmBackground::SettleOpenDialog() {
    if (!mFilterPending) return;
    mFilterPending = false;
    const std::wstring plugins = SusiePlugin.AllPicturesFilter();
    const std::vector<std::wstring> decoders = WicFileExtensions();
    const std::wstring archives = SusiePlugin.AllArchivesFilter();
    CommonDialog.Filter = BuildOpenFilter(plugins, decoders, archives);
    mPicturePatterns = AllPicturePatterns(plugins, decoders);
    mArchivePatterns = ArchivePatternsOf(archives);
    // The control's own "*.bmp" is no plug-in.
    const std::vector<std::wstring> listed = SplitPatterns(plugins);
    mPluginsInstalled = !SplitPatterns(archives).empty() ||
                        std::any_of(listed.begin(), listed.end(), [](const std::wstring& p) { return p != L"*.bmp"; });
}

void FrmBackground::PictureLoad(forms::Label* lblProgress) {
    SettleOpenDialog();
    // The label serves this load only; the one set before comes back after it.
    forms::Label* const outer = mlblProgress;
    mlblProgress = lblProgress;
    if (CommonDialog.ShowOpen() == forms::DialogResult::Ok) PictureLoadRun(CommonDialog.FileName, true);
    mlblProgress = outer;
}

void FrmBackground::SusiePlugin_ProgressValueChange() {
    if (mlblProgress)
        mlblProgress->SetCaption(LoadProgressCaption(SusiePlugin.ProgressValue(), SusiePlugin.ProgressMax()));
    WhileLoading();
}

FrmBackground::LoadAsked FrmBackground::HearWhileLoading() {
    MSG m;
    forms::FollowWindowDrags();  // a window being dragged keeps moving
    while (PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&m);
    LoadAsked asked;
    // A dropped file or a window being closed waits in the queue: the load gives way to it.
    asked.newPicture = PeekMessageW(&m, nullptr, WM_DROPFILES, WM_DROPFILES, PM_NOREMOVE) ||
                       PeekMessageW(&m, nullptr, WM_CLOSE, WM_CLOSE, PM_NOREMOVE);
    // Every key, wherever it waits in the queue: Escape is used up by the
    // cancel; the others are held and run once the load has returned.
    forms::HoldKeys(
        [](const MSG& key, int shift, void* context) {
            if (key.message != WM_KEYDOWN && key.message != WM_SYSKEYDOWN) return false;
            auto& a = *static_cast<LoadAsked*>(context);
            const Decision d = Decide(Work::Load, CommandOfKey(static_cast<int>(key.wParam), shift));
            if (d == Decision::CancelOnly) a.escape = true;
            if (d == Decision::CancelThenRun) a.newPicture = true;  // a new picture, or closing
            return d == Decision::CancelOnly;
        },
        &asked);
    return asked;
}

void FrmBackground::WhileLoading() {
    const LoadAsked asked = HearWhileLoading();
    mLoadLeftForNewPicture = mLoadLeftForNewPicture || asked.newPicture;
    if (asked.escape || asked.newPicture) SusiePlugin.SetLoadCancel(true);
}

bool FrmBackground::Await(DecodeJob& job) {
    forms::HoldingInput hold;  // no command runs inside the load
    const HANDLE worker = job.Worker();
    mDecoding = true;
    struct Done {
        std::atomic<bool>& flag;
        ~Done() { flag = false; }
    } done{mDecoding};
    // A decode that ends at once is not interrupted, nor are the keys around it touched: a
    // paint waits no longer than this.
    constexpr DWORD kUnheardMs = 30;
    if (WaitForSingleObject(worker, kUnheardMs) == WAIT_OBJECT_0) return true;
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, 20, QS_ALLINPUT) != WAIT_OBJECT_0) {
        const LoadAsked asked = HearWhileLoading();
        if (asked.escape || asked.newPicture) {
            mLoadLeftForNewPicture = mLoadLeftForNewPicture || asked.newPicture;
            mStopped = true;
            return false;
        }
    }
    return true;
}

bool FrmBackground::SettleAbandoned() {
    if (!mAbandoned) return true;
    mAbandoned->Hasten();
    if (!Await(*mAbandoned)) return false;
    mAbandoned.reset();
    return true;
}

FrmBackground::Decoded FrmBackground::DecodeAway(DecodeJob::Decoder decoder, const std::wstring& path,
                                                 const std::vector<uint8_t>* bytes, int* reported) {
    // A decode given up (or a read ahead nobody took) ends, and frees what it
    // made, before this one allocates; the plug-ins' read of this file waits for their turn.
    DropReadAhead(true, path);
    if (!SettleAbandoned()) return Decoded::Stopped;
    auto job = std::make_unique<DecodeJob>(decoder, path, bytes, GetSysColor(COLOR_WINDOW));
    if (!job->Start()) {
        job->RunHere();
    } else if (!Await(*job)) {
        job->Cancel();
        mAbandoned = std::move(job);
        return Decoded::Stopped;
    }
    if (reported) *reported = job->Reported();
    forms::Picture picture = job->TakePicture();
    return SUCCEEDED(job->Result()) && picLoad.SetPicture(picture) ? Decoded::Yes : Decoded::No;
}

void FrmBackground::StartReadAhead(const std::wstring& path) {
    if (mAbandoned && !mAbandoned->Ended()) return;  // the machine is still busy with a decode given up
    mAbandoned.reset();
    const AheadShape shape = AheadShapeNow();
    // The platform's formats by its loader here; the rest by the plug-ins in
    // their hosts (the load asks the platform first all the same), or, with
    // no plug-in to ask, as the load goes: the platform's loader, then the
    // imaging component (an archive then is read by none of them).
    SettleOpenDialog();
    const bool platform = PlatformReads(path);
    if (platform || !mPluginsInstalled) {
        StopPluginAhead();
        if (platform)
            mAhead.Start(path, shape.bytes, shape.percent, shape.source);
        else
            ReadAheadAfterPlugins(path, shape);
        return;
    }
    mAhead.Drop();
    // Asked again even for the file it reads: anything else asked of the control meanwhile stopped it.
    mPluginAhead.clear();
    if (ReadAhead::RoomFor(shape.bytes) && SusiePlugin.ReadAhead(path)) {
        mPluginAhead = path;
        ++mPluginAheadsStarted;
        // When no plug-in reads it, the decoders after them will: the answer is looked for while idle.
        if (mNotify) SetTimer(mNotify, kAheadTimer, 100, nullptr);
    }
}

FrmBackground::AheadShape FrmBackground::AheadShapeNow() {
    AheadShape shape;
    // The step shows it at the view size of now, or at its own size with that option.
    shape.percent = Settings.ViewDefaultSize ? int16_t{100} : CurrentViewSize;
    shape.source = shape.percent != 100 && Settings.PictureBlt;
    // Room for a second picture of the one shown's size, and its source rows
    // when the high-quality stage will want them.
    shape.bytes = uint64_t(std::max(picLoad.ScaleWidth(), 1)) * uint64_t(std::max(picLoad.ScaleHeight(), 1)) *
                  (shape.source ? 7 : 4);
    return shape;
}

void FrmBackground::OnReadAheadTimer() {
    const int state = mPluginAhead.empty() ? 3 : SusiePlugin.ReadAheadState();
    if (state == 0) return;  // still reading
    KillTimer(mNotify, kAheadTimer);
    // Every plug-in was asked and none read it (their answer stays with the control).
    if (state == 2) ReadAheadAfterPlugins(mPluginAhead, AheadShapeNow());
}

void FrmBackground::ReadAheadAfterPlugins(const std::wstring& path, const AheadShape& shape) {
    // As a load goes on: the platform's loader, then the imaging component; an archive is read by neither.
    if (FileLooksLikeArchive(path))
        mAhead.Drop();
    else
        mAhead.Start(path, shape.bytes, shape.percent, shape.source, DecodeJob::Decoder::PlatformThenImaging);
}

void FrmBackground::StopPluginAhead() {
    if (mPluginAhead.empty()) return;
    mPluginAhead.clear();
    SusiePlugin.ReadAhead(L"");  // stopped at its plug-in's next report
}

void FrmBackground::DropReadAhead(bool keepPluginAheadOf, const std::wstring& path) {
    if (!(keepPluginAheadOf && mPluginAhead == path)) StopPluginAhead();
    std::unique_ptr<DecodeJob> job = mAhead.GiveUp();
    if (!job || job->Ended()) return;  // an ended read's picture goes with it now
    if (mAbandoned) mAbandoned.reset();  // at most one decode left behind
    job->Hasten();
    mAbandoned = std::move(job);
}

bool FrmBackground::StepOntoReadAhead(const std::wstring& path) {
    mGaveWay.clear();
    mStopped = false;
    if (!mAhead.Holding() || mAhead.Path() != path) {
        DropReadAhead(true, path);  // the plug-ins' read of this file serves the load
        return false;
    }
    if (DecodeJob* job = mAhead.Job(); !job->Ended()) {
        job->Hasten();
        if (!Await(*job)) {
            DropReadAhead();
            return false;
        }
    }
    mPrepared.Clear();
    int reported = 1;
    forms::Picture picture = mAhead.Take(path, mPrepared, reported);
    if (picture.Empty() || !picLoad.SetPicture(picture)) {
        mPrepared.Clear();
        return false;
    }
    if (Settings.ExifOrientation) {
        // As a load turns it: the file's bytes, else the imaging component's metadata.
        int orientation = FileFactsOf(path).orientation;
        if (orientation == 1) orientation = reported;
        if (orientation != 1) TurnPicture(picLoad, orientation);
    }
    NewView();
    CurrentFileName = path;
    mArchive.reset();
    return true;
}

}  // namespace tamsel

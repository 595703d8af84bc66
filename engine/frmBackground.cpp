#include "engine/frmBackground.h"

#include <utility>

#include "app/mdlTamsel.h"
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
}

void FrmBackground::Form_Unload(int& cancel) {
    (void)cancel;
    SusiePlugin.ProgressValueChange = nullptr;
    SusiePlugin.Destroy();
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
    // The turn a photo needs is known before any decoder reads it: its memory is made ready meanwhile.
    TurnMemory ready;
    int orientation = 1;
    if (Settings.ExifOrientation) {
        const FileFacts facts = FileFactsOf(strFileName);
        orientation = facts.orientation;
        if (orientation != 1 && facts.width > 0)
            SwapsSides(orientation) ? ready.Prepare(facts.height, facts.width) : ready.Prepare(facts.width, facts.height);
    }
    forms::Picture picture;
    bool loaded = SUCCEEDED(LoadPicture(strFileName, picture)) && picLoad.SetPicture(picture);
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
    if (!loaded) {
        // Last, so that a user's plug-in keeps the formats it reads.
        forms::Picture decoded;
        int reported = 1;
        loaded = SUCCEEDED(LoadWicPicture(strFileName, GetSysColor(COLOR_WINDOW), decoded, &reported)) &&
                 picLoad.SetPicture(decoded);
        // The first bytes said nothing: what the decoder's metadata says.
        if (Settings.ExifOrientation && orientation == 1) orientation = reported;
    }
    if (loaded) {
        // Upright, whichever decoder read it, before any view is made of it.
        if (orientation != 1) TurnPicture(picLoad, orientation, &ready);
        NewView();
    }
    if (!loaded) {
        if (blnErrMsgbox) forms::MsgBox(L"画像ファイルを開くことが出来ませんでした！", 48, L"未対応フォーマット");
        return false;
    }
    CurrentFileName = std::move(strFileName);
    return true;
}

void FrmBackground::SettleOpenDialog() {
    if (!mFilterPending) return;
    mFilterPending = false;
    const std::wstring plugins = SusiePlugin.AllPicturesFilter();
    const std::vector<std::wstring> decoders = WicFileExtensions();
    CommonDialog.Filter = BuildOpenFilter(plugins, decoders);
    mPicturePatterns = AllPicturePatterns(plugins, decoders);
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

void FrmBackground::WhileLoading() {
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&m);
    struct Asked {
        bool escape = false, newPicture = false;
    } asked;
    // A dropped file or a window being closed waits in the queue: the load gives way to it.
    asked.newPicture = PeekMessageW(&m, nullptr, WM_DROPFILES, WM_DROPFILES, PM_NOREMOVE) ||
                       PeekMessageW(&m, nullptr, WM_CLOSE, WM_CLOSE, PM_NOREMOVE);
    // Every key, wherever it waits in the queue: Escape is used up by the
    // cancel; the others are held and run once the load has returned.
    forms::HoldKeys(
        [](const MSG& key, int shift, void* context) {
            if (key.message != WM_KEYDOWN && key.message != WM_SYSKEYDOWN) return false;
            auto& a = *static_cast<Asked*>(context);
            const Decision d = Decide(Work::Load, CommandOfKey(static_cast<int>(key.wParam), shift));
            if (d == Decision::CancelOnly) a.escape = true;
            if (d == Decision::CancelThenRun) a.newPicture = true;  // a new picture, or closing
            return d == Decision::CancelOnly;
        },
        &asked);
    mLoadLeftForNewPicture = mLoadLeftForNewPicture || asked.newPicture;
    if (asked.escape || asked.newPicture) SusiePlugin.SetLoadCancel(true);
}

}  // namespace tamsel

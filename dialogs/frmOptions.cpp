#include "dialogs/frmOptions.h"

#include "app/mdlTamsel.h"
#include "app/window_placement.h"
#include "dialogs/dialog_rules.h"
#include "engine/frmBackground.h"
#include "forms/dialogs.h"

namespace tamsel {

FrmOptions frmOptions;

namespace {
// The rows the Exif and read-ahead options add to "opening a picture": everything below them moves down by them.
constexpr int kExifRow = 300 + 240;
// The dialog's outer height without and with the extras, and the buttons' tops.
constexpr int kHeightCollapsed = 4440 + kExifRow;
constexpr int kHeightExpanded = 7215 + kExifRow;
constexpr int kButtonTopCollapsed = 3480 + kExifRow;
constexpr int kButtonTopExpanded = 6360 + kExifRow;
constexpr int kRow = 255;  // a check box's or option button's height

const wchar_t* const kRunStateCaptions[3] = {L"前回の表示方法で表示する", L"タイトルと枠を表示する",
                                             L"タイトルと枠を非表示にする"};
const wchar_t* const kPointCaptions[5] = {L"左上", L"右上", L"中心", L"左下", L"右下"};
constexpr int kPointLeft[5] = {480, 1200, 1920, 2640, 3360};
}  // namespace

FrmOptions::FrmOptions() {
    DialogFrame = false;  // a fixed single border
    for (auto& entry : WorkViewSizes) entry = {0, kFalse};
}

void FrmOptions::InitializeComponent() {
    SetCaption(L"オプション");
    SetClientSize(6780, 4000 + kExifRow);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    auto container = [face](forms::PictureBox& box, forms::Frame& frame, forms::Form& form, int w, int h) {
        box.Container = &frame;
        box.BackColor = face;
        box.Create(form, 120, 240, w, h);
    };
    auto help = [this](forms::NotifyingControl& c, const wchar_t* text) {
        c.OnMouseMove = [this, text] { lblMsg.SetCaption(text); };
    };

    // Start-up display.
    Frame1.Create(*this, 120, 120, 4335, 1095, L"起動時の表示方法");
    container(Picture1, Frame1, *this, 4095, 735);
    for (int i = 0; i < 3; ++i) {
        optRunState[i].Container = &Picture1;
        help(optRunState[i], L"Tamsel起動時にタイトルと枠を表示するかどうか？を指定します");
        optRunState[i].Create(*this, 120, 240 * i, 3855, kRow, kRunStateCaptions[i]);
    }

    // Opening a picture.
    Frame2.Create(*this, 120, 1320, 4335, 1695 + kExifRow, L"画像を開く時");
    container(Picture2, Frame2, *this, 4095, 1335 + kExifRow);
    chkAutoAttach.Container = &Picture2;
    help(chkAutoAttach, L"タイトルと枠を表示している時、ウィンドウの枠を画像にあわせます");
    chkAutoAttach.Create(*this, 120, 0, 3975, kRow, L"ウィンドウサイズを画像に合わせる（枠表示時）");
    chkViewDefalutSize.Container = &Picture2;
    help(chkViewDefalutSize, L"表示サイズが変更されていても等倍に戻します");
    chkViewDefalutSize.Create(*this, 120, 240, 3975, kRow, L"表示サイズを等倍に戻す");
    chkWindowPoint.Container = &Picture2;
    help(chkWindowPoint, L"ウィンドウが画面内に表示されるように、指定した点を基準に固定して表示します");
    chkWindowPoint.OnClick = [this] { chkWindowPoint_Click(); };
    chkWindowPoint.Create(*this, 120, 480, 3855, kRow, L"ウィンドウ位置を画面内に固定する");
    lblWindowPoint.Container = &Picture2;
    lblWindowPoint.Create(*this, 480, 780, 2175, 180, L"固定する点はウィンドウの");
    for (int i = 0; i < 5; ++i) {
        optPoint[i].Container = &Picture2;
        optPoint[i].Create(*this, kPointLeft[i], 1020, 675, kRow, kPointCaptions[i]);
    }
    chkExifOrientation.Container = &Picture2;
    help(chkExifOrientation, L"写真に記録されている向き（Exif）のとおりに回転して表示します");
    chkExifOrientation.Create(*this, 120, 1320, 3975, kRow, L"Exif の回転情報に従って表示する");
    chkReadAhead.Container = &Picture2;
    help(chkReadAhead, L"表示している間に、次に表示する画像を読み込んでおきます");
    chkReadAhead.Create(*this, 120, 1560, 3975, kRow, L"次の画像を先読みする");

    // Preset view sizes.
    Frame3.Create(*this, 4560, 120, 2055, 2895, L"表示サイズ");
    container(Picture3, Frame3, *this, 1815, 2535);
    for (int i = 0; i < 7; ++i) {
        chkSize[i].Container = &Picture3;
        chkSize[i].OnClick = [this, i] { chkSize_Click(i); };
        chkSize[i].Create(*this, 0, 360 * i, 255, 255, L"");
        txtSize[i].Container = &Picture3;
        txtSize[i].OnChange = [this, i] { txtSize_Change(i); };
        help(txtSize[i], L"メニューで表示される表示サイズ一覧を編集します。1～1000の値（％）を指定します。");
        txtSize[i].Create(*this, 240, 360 * i, 1575, 270);
    }

    lblMsg.Create(*this, 120, 3120 + kExifRow, 6495, 255);
    chkAnother.OnClick = [this] { chkAnother_Click(); };
    chkAnother.Create(*this, 120, 3600 + kExifRow, 2655, kRow, L"おまけ機能を表示");
    cmdOK.Default = true;
    cmdOK.OnClick = [this] { cmdOK_Click(); };
    cmdOK.Create(*this, 3120, kButtonTopCollapsed, 1095, 375, L"OK");
    cmdCancel.Cancel = true;
    cmdCancel.OnClick = [this] { cmdCancel_Click(); };
    cmdCancel.Create(*this, 4320, kButtonTopCollapsed, 1095, 375, L"キャンセル");
    cmdApp.OnClick = [this] { cmdApp_Click(); };
    cmdApp.Create(*this, 5520, kButtonTopCollapsed, 1095, 375, L"適用(A)");

    // Extras.
    frameAnother.SetVisible(false);
    frameAnother.Create(*this, 120, 3960 + kExifRow, 6495, 2295, L"おまけ機能");
    container(Picture4, frameAnother, *this, 6255, 1935);
    chkDefaultPicture.Container = &Picture4;
    help(chkDefaultPicture, L"起動時にファイルを指定していない場合に、開く画像ファイルを指定します");
    chkDefaultPicture.OnClick = [this] { chkDefaultPicture_Click(); };
    chkDefaultPicture.Create(*this, 120, 120, 6015, kRow,
                             L"起動時、デフォルトで開く画像ファイルを指定する（コマンドライン優先）");
    txtDefaultPictureName.Container = &Picture4;
    txtDefaultPictureName.Create(*this, 840, 360, 4935, 270);
    cmdDefPic.Container = &Picture4;
    cmdDefPic.OnClick = [this] { cmdDefPic_Click(); };
    cmdDefPic.Create(*this, 5760, 360, 375, 270, L"...");
    chkPictureBlt.Container = &Picture4;
    help(chkPictureBlt, L"初期設定では画質を綺麗にしていますが、画質を低くして高速に出来ます");
    chkPictureBlt.Create(*this, 120, 720, 6015, kRow, L"拡大・縮小表示の画質を綺麗にする");
    chkTranslucence.Container = &Picture4;
    help(chkTranslucence, L"OSチェック、不透明度の指定と元に戻す機能が無いのでおまけです");
    chkTranslucence.Create(*this, 120, 960, 6015, kRow, L"タイトルの非表示で半透明表示を可能にする（Windows2000以降）");
}

void FrmOptions::Form_Load() {
    Move(Left(), Top(), Width(), kHeightCollapsed);
    CenterOnScreen();
    for (int i = 0; i < 7; ++i) {
        chkSize[i].SetValue(BoolToCheck(Settings.ViewSizes[i].Enabled));
        txtSize[i].SetText(std::to_wstring(Settings.ViewSizes[i].Percent));
        chkSize_Click(i);
    }
    chkAutoAttach.SetValue(BoolToCheck(Settings.AutoAttach));
    // A stored value that names no option shows the default one.
    const int runState = Settings.RunState >= -1 && Settings.RunState <= 1 ? Settings.RunState : -1;
    optRunState[runState + 1].SetValue(true);
    chkWindowPoint.SetValue(BoolToCheck(Settings.WindowPoint));
    const int point = Settings.WindowPointIndex >= 0 && Settings.WindowPointIndex <= 4 ? Settings.WindowPointIndex : 2;
    optPoint[point].SetValue(true);
    chkWindowPoint_Click();
    chkViewDefalutSize.SetValue(BoolToCheck(Settings.ViewDefaultSize));
    chkExifOrientation.SetValue(BoolToCheck(Settings.ExifOrientation));
    chkReadAhead.SetValue(BoolToCheck(Settings.ReadAhead));
    chkPictureBlt.SetValue(BoolToCheck(Settings.PictureBlt));
    chkDefaultPicture.SetValue(BoolToCheck(Settings.DefaultPicture));
    txtDefaultPictureName.SetText(Settings.DefaultPictureName);
    chkDefaultPicture_Click();
    chkTranslucence.SetValue(BoolToCheck(Settings.Translucence));
}

void FrmOptions::Form_MouseMove() { lblMsg.SetCaption(L""); }

void FrmOptions::chkAnother_Click() {
    const bool shown = chkAnother.Value() == 1;
    Move(Left(), Top(), Width(), shown ? kHeightExpanded : kHeightCollapsed);
    const int top = shown ? kButtonTopExpanded : kButtonTopCollapsed;
    for (forms::CommandButton* b : {&cmdOK, &cmdCancel, &cmdApp}) b->Move(b->Left(), top);
    frameAnother.SetVisible(shown);
}

void FrmOptions::chkSize_Click(int index) { txtSize[index].SetEnabled(chkSize[index].Value() == 1); }

void FrmOptions::chkWindowPoint_Click() {
    const bool on = CheckToBool(chkWindowPoint.Value()) != kFalse;
    for (auto& option : optPoint) option.SetEnabled(on);
    lblWindowPoint.SetEnabled(on);
}

void FrmOptions::chkDefaultPicture_Click() {
    txtDefaultPictureName.SetEnabled(CheckToBool(chkDefaultPicture.Value()) != kFalse);
    cmdDefPic.SetEnabled(txtDefaultPictureName.Enabled());
}

void FrmOptions::txtSize_Change(int index) {
    const std::wstring text = txtSize[index].Text();
    if (auto corrected = CorrectedSizeText(text, Int16Of(text))) txtSize[index].SetText(*corrected);
}

void FrmOptions::cmdDefPic_Click() {
    if (frmBackground.CommonDialog.ShowOpen() == forms::DialogResult::Ok)
        txtDefaultPictureName.SetText(frmBackground.CommonDialog.FileName);
}

void FrmOptions::cmdApp_Click() {
    for (int i = 0; i < 7; ++i) {
        if (const auto value = Int16Of(txtSize[i].Text())) {
            WorkViewSizes[i].Percent = *value;
            WorkViewSizes[i].Enabled = CheckToBool(static_cast<int16_t>(chkSize[i].Value()));
        } else {
            WorkViewSizes[i].Enabled = kFalse;
        }
    }
    Settings.ViewSizes = WorkViewSizes;
    Settings.AutoAttach = CheckToBool(static_cast<int16_t>(chkAutoAttach.Value()));
    for (int i = 0; i < 3; ++i)
        if (optRunState[i].Value()) {
            Settings.RunState = static_cast<int16_t>(i - 1);
            break;
        }
    Settings.WindowPoint = CheckToBool(static_cast<int16_t>(chkWindowPoint.Value()));
    for (int i = 0; i < 5; ++i)
        if (optPoint[i].Value()) {
            Settings.WindowPointIndex = static_cast<int16_t>(i);
            break;
        }
    Settings.ViewDefaultSize = CheckToBool(static_cast<int16_t>(chkViewDefalutSize.Value()));
    Settings.ExifOrientation = CheckToBool(static_cast<int16_t>(chkExifOrientation.Value()));
    Settings.ReadAhead = CheckToBool(static_cast<int16_t>(chkReadAhead.Value()));
    Settings.PictureBlt = CheckToBool(static_cast<int16_t>(chkPictureBlt.Value()));
    Settings.DefaultPicture = CheckToBool(static_cast<int16_t>(chkDefaultPicture.Value()));
    Settings.DefaultPictureName = txtDefaultPictureName.Text();
    if (Settings.DefaultPictureName.empty()) Settings.DefaultPictureName = ProgramFolder() + L"\\" + L"ts2image.JPG";
    Settings.Translucence = CheckToBool(static_cast<int16_t>(chkTranslucence.Value()));
}

void FrmOptions::cmdOK_Click() {
    cmdApp_Click();
    Unload();
}

void FrmOptions::cmdCancel_Click() { Unload(); }

}  // namespace tamsel

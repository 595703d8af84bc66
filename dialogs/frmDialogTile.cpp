#include "dialogs/frmDialogTile.h"

#include <cmath>

#include "dialogs/dialog_rules.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "forms/screen.h"

namespace tamsel {

FrmDialogTile frmDialogTile;

void FrmDialogTile::InitializeComponent() {
    SetCaption(L"タイルに並べてコピー");
    SetClientSize(4785, 1080);
    // Created in the tab order: an access key on a label moves to the box after it.
    Label4.Create(*this, 120, 765, 510, 180, L"横(&H) :");
    txtH.OnGotFocus = [this] { txtH.Select(0, static_cast<int>(txtH.Text().size())); };
    txtH.Create(*this, 720, 720, 735, 270, L"2");
    Label5.Create(*this, 1680, 765, 510, 180, L"縦(&V) :");
    txtV.OnGotFocus = [this] { txtV.Select(0, static_cast<int>(txtV.Text().size())); };
    txtV.Create(*this, 2280, 720, 735, 270, L"2");
    cmdOK.Default = true;
    cmdOK.OnClick = [this] { cmdOK_Click(); };
    cmdOK.Create(*this, 3600, 120, 1095, 375, L"OK");
    cmdCancel.Cancel = true;
    cmdCancel.OnClick = [this] { cmdCancel_Click(); };
    cmdCancel.Create(*this, 3600, 600, 1095, 375, L"キャンセル");
    Label1.Create(*this, 120, 120, 3135, 255, L"タイルに並べる個数を指定してください");
    picDef.SetVisible(false);
    picDef.AutoSize = true;
    picDef.AutoRedraw = true;
    picDef.Create(*this, 1920, 960, 15, 15);
    picMake.SetVisible(false);
    picMake.AutoRedraw = true;
    picMake.Create(*this, 3000, 960, 15, 15);
}

void FrmDialogTile::Form_Load() {
    CenterOnScreen();
    picDef.SetPicture(frmBackground.picLoad.GetPicture());
}

void FrmDialogTile::cmdOK_Click() {
    const auto h = Int16Of(txtH.Text()), v = Int16Of(txtV.Text());
    const int w = picDef.ScaleWidth(), ht = picDef.ScaleHeight();
    // Counts that are no numbers, below 1, or too many for one bitmap: the user corrects them.
    if (!h || !v || !TileFits(*h, *v, w, ht)) {
        forms::Beep();
        return;
    }
    picMake.Move(0, 0, forms::PixelsToTwipsX(*h * w), forms::PixelsToTwipsY(*v * ht));
    if (!picMake.SurfaceFits()) {
        forms::Beep();  // no surface that large could be made
        return;
    }
    for (int c = 0; c < *h; ++c)
        for (int r = 0; r < *v; ++r)
            BitBlt(picMake.hDC(), static_cast<int>(std::lround(static_cast<double>(c) * w)),
                   static_cast<int>(std::lround(static_cast<double>(r) * ht)), w, ht, picDef.hDC(), 0, 0, SRCCOPY);
    ClipboardClear();
    ClipboardSetData(picMake.Image());
    Unload();
}

void FrmDialogTile::cmdCancel_Click() { Unload(); }

}  // namespace tamsel

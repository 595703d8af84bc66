#pragma once
// The hidden engine form: owns the loaded picture (picLoad), the picture at
// the view size (picBlt), the open and save dialogs and the plug-in host.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/susie_plugin.h"
#include "forms/controls.h"
#include "forms/dialogs.h"
#include "forms/form.h"

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
    bool PictureLoadRun(const std::wstring& strFileName, bool blnErrMsgbox);
    void SusiePlugin_ProgressValueChange();
    // The open dialog's filter, made when first needed (PictureLoad does).
    void SettleOpenDialog();
    // The patterns of the dialog's "all pictures" entry ("*.bmp;*.jpg;...").
    const std::wstring& PicturePatterns() {
        SettleOpenDialog();
        return mPicturePatterns;
    }

    // The picture at the current view size into picBlt: the fast stretch, and
    // the high-quality scaler with "Resize ..." progress. Both do nothing at 100 %.
    void FirstResizePicture();
    // False when a command run from its event pump showed something newer
    // (another view size, another picture): the result is then not published.
    bool ResizePicture(forms::Label* lblProgress);

    // What the viewer shows is about to change (a new view, a new picture):
    // a high-quality run interrupted by it does not publish its result.
    void NewView() { ++mViewSerial; }

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
    bool SmoothResizePicture(int16_t p, forms::Label* label);

    forms::Label* mlblProgress = nullptr;
    bool mFilterPending = false;
    std::wstring mPicturePatterns;
    uint32_t mViewSerial = 0;
    // The scaler's arrays, kept from one run to the next: zooming the same
    // picture again then costs no fresh pages (a tenth of a second for 12
    // megapixels). A run takes them for its whole duration (a run nested in
    // its event pump finds none and makes its own) and gives them back at its
    // end. Released with the form, and when a much smaller picture follows.
    std::vector<uint8_t> mScaleSource, mScaleTarget;
};

extern FrmBackground frmBackground;

}  // namespace tamsel

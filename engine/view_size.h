#pragma once
// Showing the current picture at the current view size in a viewer window.
#include "forms/controls.h"
#include "forms/form.h"

namespace tamsel {

// A viewer window whose frame can be fitted to its picture.
class FrameFitting {
public:
    virtual ~FrameFitting() = default;
    virtual void AttachFrameSize() = 0;
};

// The fast result at once, the window fitted and placed; then, with
// PictureBlt, the high-quality result in its place.
void ApplyViewSize(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame);

}  // namespace tamsel

#pragma once
// Pictures turned upright: by the Exif orientation their file records, right
// after any decoder read them (the platform loader, a plug-in, the imaging
// component), and by hand.
#include <string>

#include "engine/orientation.h"
#include "forms/controls.h"

namespace tamsel {

// The orientation the file's first bytes record; 1 when none or unreadable.
int FileOrientation(const std::wstring& path);

// Replaces the box's picture with its upright turn (sides swapped for a
// quarter turn); false, the picture unchanged, when there is no picture or
// no memory for the turned one.
bool TurnPicture(forms::PictureBox& box, int orientation);

}  // namespace tamsel

#pragma once
// The platform's imaging component as a reader: what its installed decoders
// read, used after the picture loader and the plug-ins have declined a file.
#include <windows.h>

#include <string>

#include "forms/picture.h"

namespace tamsel {

// The first frame of the file as a 24-bit bitmap picture, any transparency
// shown on `background`. Fails without a picture for anything unreadable or
// too large for a bitmap of its own.
HRESULT LoadWicPicture(const std::wstring& path, COLORREF background, forms::Picture& out);

}  // namespace tamsel

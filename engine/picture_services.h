#pragma once
// The platform's picture decoder and writer, and the clipboard's picture formats.
#include <windows.h>

#include <string>

#include "forms/picture.h"

namespace tamsel {

// The system's OLE picture decoder (BMP, JPEG, GIF and what else it reads).
// An empty path gives the empty picture; any other file that does not decode fails.
HRESULT LoadPicture(const std::wstring& path, forms::Picture& out);
// The same decoder over a file's bytes in memory (an archive entry).
HRESULT LoadPictureFromMemory(const uint8_t* data, size_t size, forms::Picture& out);

// Writes the picture as a BMP file. A bitmap keeps its palette when it has one
// (else 24-bit); an icon or metafile is drawn at its size into a 24-bit bitmap.
// The file is written beside the target and moved over it only when complete,
// so a failure leaves any existing file as it was.
HRESULT SavePicture(const forms::Picture& picture, const std::wstring& path);

// Clipboard formats by their standard numbers: 2 bitmap, 3 metafile picture, 8 DIB.
bool ClipboardGetFormat(UINT format);
// A picture to paste: a bitmap, a metafile or a device-independent bitmap.
bool ClipboardOffersPicture();
// The clipboard's picture as a bitmap picture: format 2, else 3 (drawn at its size), else 8.
HRESULT ClipboardGetData(forms::Picture& out);
HRESULT ClipboardClear();
// Puts the picture on the clipboard as a bitmap (formats 2 and 8).
HRESULT ClipboardSetData(const forms::Picture& picture);

}  // namespace tamsel

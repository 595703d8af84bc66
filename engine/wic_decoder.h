#pragma once
// The platform's imaging component as a reader: what its installed decoders
// read, used after the picture loader and the plug-ins have declined a file.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "forms/picture.h"

namespace tamsel {

// The first frame of the file as a 24-bit bitmap picture, any transparency
// shown on `background`. Fails without a picture for anything unreadable or
// too large for a bitmap of its own. `orientation`, when given, receives the
// turn the decoder's metadata records for the frame (1 when none or not 1-8):
// what HEIF/AVIF and a TIFF whose directory lies past the bytes read ahead
// tell only the decoder.
// `cancel`, when given and set, stops the decode before its next band (E_ABORT).
HRESULT LoadWicPicture(const std::wstring& path, COLORREF background, forms::Picture& out, int* orientation = nullptr,
                       const std::atomic<bool>* cancel = nullptr);
// The same over a file's bytes in memory (an archive entry).
HRESULT LoadWicPictureFromMemory(const uint8_t* data, size_t size, COLORREF background, forms::Picture& out,
                                 int* orientation = nullptr, const std::atomic<bool>* cancel = nullptr);

}  // namespace tamsel

#pragma once
// Which way up a photo was taken (the Exif orientation, 1 to 8), read from
// the first bytes of its file whatever decoder reads the pixels, and the
// turn that shows it upright. The reader trusts no offset or count: anything
// it cannot follow within the bytes it was given is orientation 1.
// Windows-free, tested and fuzzed natively.
#include <cstddef>
#include <cstdint>

namespace tamsel {

// Bytes of a file's start that are read first, and the most ever read.
constexpr size_t kOrientationFirstRead = 64 * 1024;
constexpr size_t kOrientationMostRead = 256 * 1024;

// How many bytes of the file's start the reader needs: those it has, or, for
// a JPEG whose Exif segment runs on past them, up to that segment's end (at
// most kOrientationMostRead).
size_t OrientationBytesWanted(const uint8_t* data, size_t size);

// The orientation recorded in a JPEG (APP1 Exif), TIFF (IFD0), PNG (eXIf) or
// WebP (EXIF) file's start; 1 when there is none or it cannot be read.
int ExifOrientation(const uint8_t* data, size_t size);
// A JPEG's size from its frame header, when the bytes reach it.
bool JpegSize(const uint8_t* data, size_t size, int& width, int& height);
// The orientation tag of IFD0 of a TIFF structure (an Exif block).
int TiffOrientation(const uint8_t* tiff, size_t size);

// Turns by hand, as the orientations that apply them.
enum class Turn { Right = 6, Left = 8, FlipHorizontal = 2, FlipVertical = 4 };

// Whether the turn that shows `orientation` upright swaps width and height.
constexpr bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// Writes the upright picture of `src` (w x h pixels of `bytesPerPixel`, rows
// `srcStride` bytes apart, top row first) into `dst` (rows `dstStride` bytes
// apart; h x w pixels when the turn swaps sides).
void TurnPixels(const uint8_t* src, int w, int h, ptrdiff_t srcStride, int bytesPerPixel, uint8_t* dst,
                ptrdiff_t dstStride, int orientation);

}  // namespace tamsel

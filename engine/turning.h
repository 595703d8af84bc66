#pragma once
// Pictures turned upright: by the Exif orientation their file records, right
// after any decoder read them (the platform loader, a plug-in, the imaging
// component), and by hand.
#include <windows.h>

#include <string>

#include "engine/orientation.h"
#include "forms/controls.h"

namespace tamsel {

// What a file's first bytes say before any decoder reads it: the orientation
// (1 when none or unreadable), and the picture's size where the header
// gives it (a JPEG's; 0 otherwise).
struct FileFacts {
    int orientation = 1;
    int width = 0, height = 0;
};
FileFacts FileFactsOf(const std::wstring& path);

// The turned picture's memory, made and touched on a thread of its own while
// a decoder reads the file: memory touched for the first time is what a turn
// costs most. Whatever is not taken is freed when this goes.
class TurnMemory {
public:
    TurnMemory() = default;
    ~TurnMemory();
    TurnMemory(const TurnMemory&) = delete;
    TurnMemory& operator=(const TurnMemory&) = delete;
    // A 32-bit picture of this size, rows top first.
    void Prepare(int width, int height);
    // The prepared bitmap when it has this size; nothing otherwise.
    HBITMAP Take(int width, int height, void** bits);

private:
    static DWORD WINAPI Make(void* self);
    HANDLE thread_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
    int width_ = 0, height_ = 0;
};

// Replaces the box's picture with its upright turn (sides swapped for a
// quarter turn), in memory made ready beforehand when there is some; false,
// the picture unchanged, when there is no picture or no memory for the turn.
bool TurnPicture(forms::PictureBox& box, int orientation, TurnMemory* ready = nullptr);

}  // namespace tamsel

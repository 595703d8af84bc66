#pragma once
// The screen in twips (1/1440 inch) and the conversions to pixels.
namespace forms {

struct Screen {
    // Dots per inch the program's windows are laid out for: the system's at
    // first, then those of the monitor a window was last moved to.
    static int DpiX();
    static int DpiY();
    static void SetDpi(int dpi);  // 0: the system's again
    static int TwipsPerPixelX();  // 1440 / horizontal dots per inch: 15 at 96 dpi
    static int TwipsPerPixelY();
    static int Width();   // twips
    static int Height();  // twips
    // The pointer over every window of the program: 0 default, 11 hourglass.
    static int MousePointer();
    static void SetMousePointer(int pointer);
    // The cursor's position in screen pixels.
    static void CursorPosition(long& x, long& y);
};

// Tests stand in for the pointing device; nothing restores the platform's cursor.
using CursorHook = void (*)(long& x, long& y);
void SetCursorHook(CursorHook hook);

// Sets the hourglass for its lifetime and the default pointer after, on every path.
class BusyPointer {
public:
    BusyPointer() { Screen::SetMousePointer(11); }
    ~BusyPointer() { Screen::SetMousePointer(0); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

inline int PixelsToTwipsX(int px) { return px * Screen::TwipsPerPixelX(); }
inline int PixelsToTwipsY(int px) { return px * Screen::TwipsPerPixelY(); }
// Integer divisions of sizes truncate.
inline int TwipsToPixelsX(int twips) { return twips / Screen::TwipsPerPixelX(); }
inline int TwipsToPixelsY(int twips) { return twips / Screen::TwipsPerPixelY(); }

}  // namespace forms

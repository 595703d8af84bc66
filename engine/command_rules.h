#pragma once
// The one place that decides what a command arriving while work is in flight
// does: the work (a rendering off the UI thread, or a load that holds every
// command until it returns) and the kind of command give the decision.
// Windows-free.
namespace tamsel {

// ReadAhead: the next picture decoding at idle priority while the user looks.
enum class Work { None, Render, Load, ReadAhead };

enum class Arriving {
    NewPicture,    // open (its dialog included), drop, paste, step
    NewView,       // a view size: preset, the size dialog, 100 %; a turn or flip of the picture
    ReadsPicture,  // save, copy, tile copy, switching windows
    Close,         // closing the viewer, quitting
    Other,         // options, version, help, what the menus show
    Escape,
};

enum class Decision {
    Run,            // at once
    CancelThenRun,  // the work stops first (a load: the command runs once it has returned)
    WaitThenRun,    // the work runs to its end (Escape may stop it), then the command acts on its result
    RunAfter,       // held until the work has returned
    CancelOnly,     // Escape: the work stops, nothing else happens
};

Decision Decide(Work work, Arriving command);

// The command a key stands for in the viewer windows: keyCode a virtual key,
// shift 1 Shift, 2 Ctrl, 4 Alt. Keys of no command are Other.
Arriving CommandOfKey(int keyCode, int shift);

}  // namespace tamsel

#include "engine/command_rules.h"

namespace tamsel {

Decision Decide(Work work, Arriving command) {
    if (work == Work::None) return command == Arriving::Escape ? Decision::CancelOnly : Decision::Run;
    if (work == Work::ReadAhead) {
        // A new view or closing needs the machine; a step may take the picture
        // (any other load drops it when it decodes); the rest leave it alone.
        if (command == Arriving::NewView || command == Arriving::Close) return Decision::CancelThenRun;
        return command == Arriving::Escape ? Decision::CancelOnly : Decision::Run;
    }
    switch (command) {
    case Arriving::NewPicture: return Decision::CancelThenRun;  // the user wants the new file
    case Arriving::NewView: return work == Work::Render ? Decision::CancelThenRun : Decision::RunAfter;
    case Arriving::ReadsPicture: return work == Work::Render ? Decision::WaitThenRun : Decision::RunAfter;
    case Arriving::Close: return Decision::CancelThenRun;
    case Arriving::Other: return work == Work::Render ? Decision::Run : Decision::RunAfter;
    case Arriving::Escape: return Decision::CancelOnly;
    }
    return Decision::RunAfter;
}

Arriving CommandOfKey(int keyCode, int shift) {
    constexpr int kCtrl = 2, kAlt = 4;
    constexpr int kEscape = 0x1B, kBack = 0x08, kSpace = 0x20, kPrior = 0x21, kNext = 0x22, kEnd = 0x23,
                  kHome = 0x24, kF4 = 0x73;
    if (keyCode == kEscape && shift == 0) return Arriving::Escape;
    if (shift == 0) {
        switch (keyCode) {
        case kBack: case kSpace: case kPrior: case kNext: case kEnd: case kHome: return Arriving::NewPicture;
        case 'R': case 'L': case 'H': case 'V': return Arriving::NewView;  // turns and flips
        default: return Arriving::Other;
        }
    }
    if (shift == kAlt && keyCode == kF4) return Arriving::Close;
    if (shift != kCtrl) return Arriving::Other;
    switch (keyCode) {
    case 'O': case 'V': return Arriving::NewPicture;
    case 'D': case 'Z': return Arriving::NewView;
    case 'S': case 'A': case 'C': case 'T': return Arriving::ReadsPicture;
    default: return Arriving::Other;
    }
}

}  // namespace tamsel

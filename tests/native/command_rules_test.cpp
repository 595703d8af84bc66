#include <gtest/gtest.h>

#include "engine/command_rules.h"

using namespace tamsel;

// The table of what an arriving command does while work is in flight, row by row.
TEST(CommandRules, EachKindOfCommandDuringARenderAndDuringALoad) {
    const struct { Arriving command; Decision render, load, idle, ahead; } rows[] = {
        {Arriving::NewPicture, Decision::CancelThenRun, Decision::CancelThenRun, Decision::Run, Decision::Run},
        {Arriving::NewView, Decision::CancelThenRun, Decision::RunAfter, Decision::Run, Decision::CancelThenRun},
        {Arriving::ReadsPicture, Decision::WaitThenRun, Decision::RunAfter, Decision::Run, Decision::Run},
        {Arriving::Close, Decision::CancelThenRun, Decision::CancelThenRun, Decision::Run, Decision::CancelThenRun},
        {Arriving::Other, Decision::Run, Decision::RunAfter, Decision::Run, Decision::Run},
        {Arriving::Escape, Decision::CancelOnly, Decision::CancelOnly, Decision::CancelOnly, Decision::CancelOnly},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(Decide(Work::ReadAhead, r.command), r.ahead) << static_cast<int>(r.command);
        EXPECT_EQ(Decide(Work::Render, r.command), r.render) << static_cast<int>(r.command);
        EXPECT_EQ(Decide(Work::Load, r.command), r.load) << static_cast<int>(r.command);
        EXPECT_EQ(Decide(Work::None, r.command), r.idle) << static_cast<int>(r.command);
    }
}

TEST(CommandRules, KeysAreTheCommandsTheViewerWindowsGiveThem) {
    constexpr int kShift = 1, kCtrl = 2, kAlt = 4;
    const struct { int key, shift; Arriving command; } keys[] = {
        {0x1B, 0, Arriving::Escape},         {0x1B, kShift, Arriving::Other},
        {0x22, 0, Arriving::NewPicture},     {0x21, 0, Arriving::NewPicture},   // PageDown, PageUp
        {0x20, 0, Arriving::NewPicture},     {0x08, 0, Arriving::NewPicture},   // Space, BackSpace
        {0x24, 0, Arriving::NewPicture},     {0x23, 0, Arriving::NewPicture},   // Home, End
        {0x22, kCtrl, Arriving::Other},      {0x22, kShift, Arriving::Other},
        {'O', kCtrl, Arriving::NewPicture},  {'V', kCtrl, Arriving::NewPicture},
        {'D', kCtrl, Arriving::NewView},     {'Z', kCtrl, Arriving::NewView},
        {'S', kCtrl, Arriving::ReadsPicture}, {'A', kCtrl, Arriving::ReadsPicture},
        {'C', kCtrl, Arriving::ReadsPicture}, {'T', kCtrl, Arriving::ReadsPicture},
        {0x73, kAlt, Arriving::Close},       {0x73, 0, Arriving::Other},        // Alt+F4, F4
        {'R', 0, Arriving::NewView},         {'L', 0, Arriving::NewView},       // turns
        {'H', 0, Arriving::NewView},         {'V', 0, Arriving::NewView},       // flips
        {'R', kShift, Arriving::Other},      {'L', kCtrl, Arriving::Other},
        {'O', 0, Arriving::Other},           {'O', kCtrl | kShift, Arriving::Other},
        {'F', kCtrl, Arriving::Other},       {0x25, 0, Arriving::Other},        // Ctrl+F, Left
    };
    for (const auto& k : keys) EXPECT_EQ(CommandOfKey(k.key, k.shift), k.command) << k.key << " " << k.shift;
}

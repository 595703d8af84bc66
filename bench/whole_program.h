#pragma once
// Whole-program benchmarks, each printing one "name key=value ..." line.
#include <string>

namespace tamsel::bench {

int Startup(const std::wstring& picture);
int Trial();
// A plug-in decode in a host process beside the same decode in this process.
int HostCost();
int StartDescribed(const std::wstring& picture);
int OrientationCost(const std::wstring& photo);
// Listing a ZIP of 2 000 entries; a step through an archive's photos beside a folder's.
int ArchiveCost(const std::wstring& photo);
// How soon the framed window answers a paint while a large photo decodes.
int PaintWhileLoading(const std::wstring& photo);
// A step through a folder of photos from the key to the painted window, without and with read-ahead.
int StepCost(const std::wstring& photo);
int Peak(const std::wstring& picture, bool stepping = false);
// The viewer stepping through ten copies of the picture, for Peak to measure.
int PeakSteppingViewer(const std::wstring& picture);
// The viewer's part of Peak, run in a process of its own.
int PeakViewer(const std::wstring& picture);
// Peak working set of 20 steps queued 40 ms apart at 1000 %, beside one such
// rendering; and the time from a new view to the old rendering's memory freed.
int HeldSteps();
int HeldViewer(const std::wstring& folder, bool steps);
int CancelMs();

}  // namespace tamsel::bench

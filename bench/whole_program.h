#pragma once
// Whole-program benchmarks, each printing one "name key=value ..." line.
#include <string>

namespace tamsel::bench {

int Startup(const std::wstring& picture);
int Trial();
// A plug-in decode in a host process beside the same decode in this process.
int HostCost();
int Peak(const std::wstring& picture);
// The viewer's part of Peak, run in a process of its own.
int PeakViewer(const std::wstring& picture);

}  // namespace tamsel::bench

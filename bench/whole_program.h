#pragma once
// Whole-program benchmarks, each printing one "name key=value ..." line.
#include <string>

namespace tamsel::bench {

int Startup(const std::wstring& picture);
int Trial();
int Peak(const std::wstring& picture);
// The viewer's part of Peak, run in a process of its own.
int PeakViewer(const std::wstring& picture);

}  // namespace tamsel::bench

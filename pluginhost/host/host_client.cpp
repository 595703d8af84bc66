#include "pluginhost/host/host_client.h"

#include <algorithm>
#include <cstring>

#include "app/module_file.h"
#include "pluginhost/susie/SPIFile.h"
#include "pluginhost/susie/SPIFunction.h"
#include "pluginhost/susie/utf16.h"

namespace quillmount {
namespace {


std::wstring FolderOfThisModule() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&FolderOfThisModule), &self);
    const std::wstring path = tamsel::ModuleFileName(self);
    return path.substr(0, path.find_last_of(L'\\'));
}

// Reads that the other side cannot tear or reorder.
uint32_t Read(const uint32_t& field) { return static_cast<uint32_t>(InterlockedCompareExchange(
    reinterpret_cast<volatile LONG*>(const_cast<uint32_t*>(&field)), 0, 0)); }
void Write(uint32_t& field, uint32_t v) { InterlockedExchange(reinterpret_cast<volatile LONG*>(&field), static_cast<LONG>(v)); }

// Copies of what the host said, bounded by where it may lie.
constexpr uint32_t kLargestHeader = 64 * 1024;

// A path of 260 characters or more in the form every call takes, whatever
// the process's manifest says: the extended-length one.
std::wstring ExtendedLength(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

// Whether an Escape key press waits anywhere in the queue: the keys before
// and after it go back in their order; the Escape itself is used up.
bool EscapeBehindOtherKeys() {
    std::vector<MSG> keys;
    bool escape = false;
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        if (!escape && m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) {
            escape = true;
            continue;
        }
        keys.push_back(m);
    }
    for (const MSG& k : keys) PostMessageW(k.hwnd, k.message, k.wParam, k.lParam);
    return escape;
}

}  // namespace

std::wstring HostProgramFor(Abi abi) {
    return FolderOfThisModule() + (abi == Abi::Sph64 ? L"\\QuillmountHost64.exe" : L"\\QuillmountHost32.exe");
}

HostClient::HostClient(std::wstring program) : program_(std::move(program)) {}

HostClient::~HostClient() {
    if (Running() && block_) {
        // Asked to go; a host busy in a plug-in is ended.
        Write(block_->op, static_cast<uint32_t>(host::Op::Quit));
        Write(block_->requestSerial, ++serial_);
        SetEvent(request_);
        WaitForSingleObject(process_, 2000);
    }
    End(true);
}

bool HostClient::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool HostClient::Launch() {
    if (Running()) return true;
    End(true);
    if (GetFileAttributesW(ExtendedLength(program_).c_str()) == INVALID_FILE_ATTRIBUTES) return false;

    static LONG counter = 0;
    name_ = L"Local\\Quillmount-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(InterlockedIncrement(&counter));
    // Names nobody else holds: an object that exists already is someone else's.
    auto fresh = [](HANDLE h) {
        if (h && GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(h);
            return static_cast<HANDLE>(nullptr);
        }
        return h;
    };
    mapping_ = fresh(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(host::Block),
                                        name_.c_str()));
    request_ = fresh(CreateEventW(nullptr, FALSE, FALSE, (name_ + L"-req").c_str()));
    reply_ = fresh(CreateEventW(nullptr, FALSE, FALSE, (name_ + L"-rep").c_str()));
    progressEvent_ = fresh(CreateEventW(nullptr, FALSE, FALSE, (name_ + L"-prg").c_str()));
    block_ = mapping_ ? static_cast<host::Block*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(host::Block)))
                      : nullptr;
    if (!block_ || !request_ || !reply_ || !progressEvent_) {
        End(true);
        return false;
    }
    block_->magic = host::kMagic;
    block_->version = host::kVersion;

    // The host goes with this process, even when it hangs inside a plug-in.
    job_ = CreateJobObjectW(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    std::wstring command =
        L"\"" + program_ + L"\" " + name_ + L" " + std::to_wstring(GetCurrentProcessId());
    // A program path of 260 characters or more is not started as it is: its
    // short form, or else its extended-length form, which names the program.
    std::wstring application = program_;
    if (application.size() >= MAX_PATH) {
        const std::wstring shortName = tamsel::ShortPathOf(program_);
        application = !shortName.empty() && shortName.size() < MAX_PATH ? shortName : ExtendedLength(program_);
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &si, &pi)) {
        End(true);
        return false;
    }
    if (job_) AssignProcessToJobObject(job_, pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    serial_ = 0;
    progressSeen_ = 0;
    return true;
}

void HostClient::End(bool kill) {
    if (process_) {
        if (kill && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
    if (job_) CloseHandle(job_);
    if (block_) UnmapViewOfFile(block_);
    for (HANDLE h : {mapping_, request_, reply_, progressEvent_})
        if (h) CloseHandle(h);
    process_ = job_ = mapping_ = request_ = reply_ = progressEvent_ = nullptr;
    block_ = nullptr;
    pid_ = 0;
}

bool HostClient::Send(host::Op op, const std::function<void(host::Writer&)>& write) {
    if (!block_) return false;
    host::Writer w(block_->request, host::kAreaSize);
    write(w);
    if (!w.Fits()) return false;
    Write(block_->requestBytes, static_cast<uint32_t>(w.Used()));
    Write(block_->op, static_cast<uint32_t>(op));
    Write(block_->requestSerial, ++serial_);
    return SetEvent(request_) != FALSE;
}

void HostClient::Relay(const Progress* progress) {
    if (!block_) return;
    const uint32_t made = Read(block_->progressSerial);
    // Every report in the order made, each heard as the plug-in's own; once a
    // cancel is asked for, the plug-in would have stopped: the rest go unheard.
    for (uint32_t n = host::FirstUnheard(progressSeen_, made); progressSeen_ != made && block_; ++n) {
        progressSeen_ = n;
        if (Read(block_->cancel)) continue;
        const host::Report report = block_->reports[n % host::kReports];
        bool cancel = false;
        if (progress && *progress) (*progress)(report.value, report.max, cancel);
        // The handler may have ended this host (a nested command); the block is gone then.
        if (block_ && cancel) Write(block_->cancel, 1);
    }
}

HostClient::Waited HostClient::Wait(const Progress* progress, DWORD quietLimitMs, bool escapeAbandons) {
    ULONGLONG lastSign = GetTickCount64(), lastReport = lastSign;
    uint32_t lastWorking = block_ ? Read(block_->working) : 0;
    // What the host was at when it went, read before its block is let go.
    auto lose = [this] {
        if (block_) {
            lastWorking_ = Read(block_->working);
            wasReady_ = Read(block_->hostReady) != 0;
        }
        End(true);
        return Waited::Lost;
    };
    for (;;) {
        if (!block_) return Waited::Lost;
        HANDLE handles[3] = {reply_, progressEvent_, process_};
        // Woken for paints (a paint is used up by its dispatch); keys are looked
        // at every tenth of a second: one left in the queue would wake the wait
        // again and again.
        const DWORD r = MsgWaitForMultipleObjectsEx(3, handles, 100, QS_PAINT, 0);
        if (r == WAIT_OBJECT_0 + 2 || r == WAIT_FAILED) return lose();
        if (r == WAIT_OBJECT_0 + 1) lastReport = GetTickCount64();
        Relay(progress);
        if (!block_) return Waited::Lost;
        if (r == WAIT_OBJECT_0 && Read(block_->replySerial) == serial_) {
            Relay(progress);  // the last report before the answer
            return block_ ? Waited::Answered : Waited::Lost;
        }
        // The windows keep painting; other input waits for the answer, as it
        // waits for a plug-in in this process. Escape gives up the host.
        MSG m;
        if (r == WAIT_OBJECT_0 + 3)
            for (int i = 0; i < 64 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i) DispatchMessageW(&m);
        if (escapeAbandons && PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && m.wParam == VK_ESCAPE) {
            PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
            return lose();
        }
        // A plug-in silent for half a second may hang: Escape is looked for
        // behind other keys too (they go back to the queue in their order).
        // A working plug-in's reports let the caller take the keys out itself.
        if (escapeAbandons && GetTickCount64() - lastReport > 500 && EscapeBehindOtherKeys()) return lose();
        if (quietLimitMs != INFINITE && block_) {
            const uint32_t working = Read(block_->working);
            if (working != lastWorking || r == WAIT_OBJECT_0 + 1) {
                lastWorking = working;
                lastSign = GetTickCount64();
            } else if (GetTickCount64() - lastSign > quietLimitMs) {
                return lose();
            }
        }
    }
}

bool HostClient::BeginDescribe(std::vector<std::wstring> paths) {
    describing_ = std::move(paths);
    describeFrom_ = 0;
    if (!Launch()) return false;
    std::vector<std::u16string> list;
    for (auto& p : describing_) list.push_back(Utf16(p));
    return Send(host::Op::Describe, [&](host::Writer& w) { host::WriteDescribeRequest(w, list); });
}

std::vector<std::optional<host::Description>> HostClient::EndDescribe() {
    std::vector<std::optional<host::Description>> result(describing_.size());
    bool asked = block_ && Read(block_->op) == static_cast<uint32_t>(host::Op::Describe);
    while (describeFrom_ < describing_.size()) {
        if (!asked) {
            if (!Launch()) break;
            std::vector<std::u16string> rest;
            for (size_t i = describeFrom_; i < describing_.size(); ++i) rest.push_back(Utf16(describing_[i]));
            if (!Send(host::Op::Describe, [&](host::Writer& w) { host::WriteDescribeRequest(w, rest); })) break;
        }
        asked = false;
        const size_t asking = describing_.size() - describeFrom_;
        // A self-description takes no time: a plug-in silent for 10 s is taken to hang.
        // Escape is for a load the user waits for; a self-description that hangs is timed out instead.
        const Waited w = Wait(nullptr, 10000, false);
        if (w == Waited::Lost) {
            if (!wasReady_) break;  // a host that cannot even start
            // The plug-in at work when the host went takes no part; the rest are asked again.
            describeFrom_ += std::min<size_t>(lastWorking_, asking - 1) + 1;
            continue;
        }
        std::vector<std::optional<host::Description>> described;
        host::Reader r(block_->reply, std::min<size_t>(Read(block_->replyBytes), host::kAreaSize));
        if (!host::ReadDescribeReply(r, asking, described)) {
            End(true);  // a host that answers nonsense is not asked again
            break;
        }
        for (size_t i = 0; i < asking; ++i) result[describeFrom_ + i] = std::move(described[i]);
        describeFrom_ = describing_.size();
    }
    describing_.clear();
    describeFrom_ = 0;
    return result;
}

std::optional<TrialResult> HostClient::Load(SPIFile& file, const std::vector<std::wstring>& modules,
                                            const Progress& progress) {
    if (!Launch()) return std::nullopt;
    std::vector<std::u16string> list;
    for (auto& m : modules) list.push_back(Utf16(m));
    Write(block_->cancel, 0);
    if (!Send(host::Op::Load, [&](host::Writer& w) { host::WriteLoadRequest(w, Utf16(file.FilePath()), list); }))
        return TrialResult{};
    if (Wait(&progress, INFINITE, true) == Waited::Lost) return std::nullopt;
    // A cancel the plug-in heard too late to stop: the picture is not taken.
    if (Read(block_->cancel)) return TrialResult{};

    host::LoadReply reply;
    host::Reader r(block_->reply, std::min<size_t>(Read(block_->replyBytes), host::kAreaSize));
    HANDLE bulk = nullptr;
    const uint8_t* bulkView = nullptr;
    bool ok;
    if (Read(block_->bulkKind) == static_cast<uint32_t>(host::Bulk::Reply)) {
        // A listing too long for the block: the whole answer in a section of its own.
        ok = DuplicateHandle(process_, ULongToHandle(Read(block_->bulkHandle)), GetCurrentProcess(), &bulk,
                             FILE_MAP_READ, FALSE, 0) &&
             (bulkView = static_cast<const uint8_t*>(MapViewOfFile(bulk, FILE_MAP_READ, 0, 0, 0))) != nullptr;
        MEMORY_BASIC_INFORMATION mbi{};
        if (ok && VirtualQuery(bulkView, &mbi, sizeof mbi)) {
            host::Reader big(bulkView, std::min<uint64_t>(mbi.RegionSize, block_->bulkBytes));
            ok = host::ReadLoadReply(big, modules.size(), reply);
        } else {
            ok = false;
        }
        if (bulkView) UnmapViewOfFile(bulkView);
        if (bulk) CloseHandle(bulk);
    } else {
        ok = host::ReadLoadReply(r, modules.size(), reply);
    }
    if (!ok) {
        End(true);
        return TrialResult{};
    }
    TrialResult result;
    // The one error that ends a whole load; anything else a host says is no picture.
    if (reply.result == DISP_E_OVERFLOW) {
        result.error = DISP_E_OVERFLOW;
        return result;
    }
    if (reply.winner < 0) return result;
    const std::wstring& module = modules[static_cast<size_t>(reply.winner)];
    if (reply.picture) {
        if (!PictureFromBulk(reply, file, module)) return result;
    } else if (!reply.entries.empty()) {
        for (auto& e : reply.entries) file.AddEntry(Wide(e.name), e.size);
        file.SetPluginKey(module);
        if (!file.HasEntries()) return result;
    } else {
        return result;
    }
    result.winner = reply.winner;
    return result;
}

bool HostClient::PictureFromBulk(const host::LoadReply& reply, SPIFile& file, const std::wstring& module) {
    if (Read(block_->bulkKind) != static_cast<uint32_t>(host::Bulk::Picture)) return false;
    HANDLE section = nullptr;
    if (!DuplicateHandle(process_, ULongToHandle(Read(block_->bulkHandle)), GetCurrentProcess(), &section,
                         FILE_MAP_READ, FALSE, 0))
        return false;
    // The bitmap is copied out into memory of this process: the host writes
    // its next picture into the same section, and nothing it does later can
    // change a picture handed to the caller.
    HBITMAP bmp = nullptr;
    if (const auto* view = static_cast<const uint8_t*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0))) {
        MEMORY_BASIC_INFORMATION mbi{};
        const uint64_t size =
            VirtualQuery(view, &mbi, sizeof mbi) ? std::min<uint64_t>(mbi.RegionSize, block_->bulkBytes) : 0;
        DibLayout layout;
        if (host::PictureFits(reply, size) && reply.headerBytes <= kLargestHeader) {
            const std::vector<uint8_t> header(view, view + reply.headerBytes);
            void* bits = nullptr;
            if (CheckDib(header.data(), header.size(), static_cast<size_t>(size - reply.pixelOffset), layout) ==
                    DibCheck::Ok &&
                layout.headerSize + 4 * uint64_t{layout.colors} <= reply.headerBytes &&
                (bmp = CreateCheckedDib(header.data(), layout, &bits)) != nullptr)
                std::memcpy(bits, view + reply.pixelOffset, layout.pixelBytes);
        }
        UnmapViewOfFile(view);
    }
    CloseHandle(section);
    if (!bmp) return false;
    ComPtr<IPictureDisp> picture = BitmapToPicture(bmp);
    if (!picture) {
        DeleteObject(bmp);
        return false;
    }
    if (!file.SetPicture(picture, reply.width, reply.height, reply.depth, Wide(reply.text))) return false;
    file.SetPluginKey(module);
    return true;
}

std::optional<bool> HostClient::Extract(const host::ExtractRequest& request, const Progress& progress) {
    if (!Launch()) return std::nullopt;
    Write(block_->cancel, 0);
    if (!Send(host::Op::Extract, [&](host::Writer& w) { host::WriteExtractRequest(w, request); })) return false;
    if (Wait(&progress, INFINITE, true) == Waited::Lost) return std::nullopt;
    host::Reader r(block_->reply, std::min<size_t>(Read(block_->replyBytes), host::kAreaSize));
    uint32_t done = 0;
    return r.U32(done) && done == 1;
}

}  // namespace quillmount

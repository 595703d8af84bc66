#include "pluginhost/host/host_client.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>

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
// A host that is not serving after this long is taken to have failed to start.
constexpr DWORD kStartLimitMs = 10000;
// A stopped load's plug-in reports within this long, or its host is given up.
constexpr ULONGLONG kStopGraceMs = 250;
DWORD gQuietLimitMs = 10000;  // a self-description takes no time: a plug-in silent this long hangs
bool gNoJob = false;

// A section the host made, opened here only when it is what the protocol
// says: memory backed by the paging file (a file's view could fail to read
// inside this process) of no more than `most` bytes. Its real size comes back.
HANDLE OpenHostSection(HANDLE process, uint32_t value, uint64_t most, uint64_t& bytes) {
    struct SectionBasicInformation {
        void* base;
        ULONG attributes;
        LARGE_INTEGER size;
    };
    using QuerySection = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<QuerySection>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySection")));
    HANDLE section = nullptr;
    if (!query || !value ||
        !DuplicateHandle(process, ULongToHandle(value), GetCurrentProcess(), &section, FILE_MAP_READ | SECTION_QUERY,
                         FALSE, 0))
        return nullptr;
    SectionBasicInformation info{};
    constexpr ULONG kNotPagefile = SEC_FILE | SEC_IMAGE;
    if (query(section, 0, &info, sizeof info, nullptr) < 0 || (info.attributes & kNotPagefile) ||
        info.size.QuadPart <= 0 || static_cast<uint64_t>(info.size.QuadPart) > most) {
        CloseHandle(section);
        return nullptr;
    }
    bytes = static_cast<uint64_t>(info.size.QuadPart);
    return section;
}

// A window of a process, shown and taking input: one that waits for the user.
struct WindowSearch {
    DWORD pid;
    bool found;
};
BOOL CALLBACK FindShownWindow(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<WindowSearch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == s->pid && IsWindowVisible(w) && IsWindowEnabled(w)) s->found = true;
    return !s->found;
}

std::wstring NameOf(const std::wstring& program) { return program.substr(program.find_last_of(L'\\') + 1); }

// Ends a host that was asked to go, if it has not gone within two seconds,
// and lets go of it; on a thread of its own, holding this module loaded.
struct Reaping {
    HANDLE process, job;
};
DWORD WINAPI Reap(void* p) {
    std::unique_ptr<Reaping> r(static_cast<Reaping*>(p));
    if (r->process) {
        if (WaitForSingleObject(r->process, 2000) == WAIT_TIMEOUT) TerminateProcess(r->process, 1);
        CloseHandle(r->process);
    }
    if (r->job) CloseHandle(r->job);
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Reap), &self);
    r.reset();
    FreeLibraryAndExitThread(self, 0);
}

void ReapLater(HANDLE process, HANDLE job) {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Reap), &self);
    auto* r = new Reaping{process, job};
    if (HANDLE t = CreateThread(nullptr, 64 * 1024, &Reap, r, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)) {
        CloseHandle(t);
        return;
    }
    // No thread to spare: the job (killing on close) ends the host now.
    delete r;
    if (process) TerminateProcess(process, 1), CloseHandle(process);
    if (job) CloseHandle(job);
    if (self) FreeLibrary(self);
}


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

void HostClient::SetQuietLimitForTests(DWORD ms) { gQuietLimitMs = ms; }
void HostClient::SetNoJobForTests(bool noJob) { gNoJob = noJob; }

HostClient::HostClient(std::wstring program, Abi abi)
    : program_(std::move(program)), bits_(abi == Abi::Sph64 ? 64 : 32) {}

HostClient::~HostClient() {
    if (Running() && block_) {
        // Asked to go; a host busy in a plug-in is ended by the reaper.
        Write(block_->op, static_cast<uint32_t>(host::Op::Quit));
        Write(block_->requestSerial, ++serial_);
        SetEvent(request_);
    }
    End(false);
}

bool HostClient::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool HostClient::Launch() {
    if (Running()) return true;
    End(true);
    while (!Unavailable()) {
        if (StartOnce()) return true;
        ++failedStarts_;
    }
    return false;
}

bool HostClient::StartOnce() {
    if (GetFileAttributesW(ExtendedLength(program_).c_str()) == INVALID_FILE_ATTRIBUTES) {
        refused_ = true;
        trouble_ = L"プラグインホスト " + NameOf(program_) + L" が見つかりません";
        return false;
    }
    // Objects without names, handed to the host by inheritance alone: no
    // other process can guess, squat or open them.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, sizeof(host::Block), nullptr);
    request_ = CreateEventW(&inherit, FALSE, FALSE, nullptr);
    reply_ = CreateEventW(&inherit, FALSE, FALSE, nullptr);
    progressEvent_ = CreateEventW(&inherit, FALSE, FALSE, nullptr);
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0);
    block_ = mapping_ ? static_cast<host::Block*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(host::Block)))
                      : nullptr;
    if (!block_ || !request_ || !reply_ || !progressEvent_ || !self) {
        if (self) CloseHandle(self);
        End(true);
        trouble_ = L"プラグインホスト " + NameOf(program_) + L" との共有メモリを作れません";
        return false;
    }
    block_->magic = host::kMagic;
    block_->version = host::kVersion;

    // The host goes with this process: by the job (even while it hangs inside
    // a plug-in), and by its own watch of this process where a job is refused.
    job_ = gNoJob ? nullptr : CreateJobObjectW(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    HANDLE handed[5] = {mapping_, request_, reply_, progressEvent_, self};
    std::wstring command = L"\"" + program_ + L"\"";
    for (HANDLE h : handed) {
        wchar_t hex[24];
        swprintf(hex, 24, L" %llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
        command += hex;
    }
    // A program path of 260 characters or more is not started as it is: its
    // short form, or else its extended-length form, which names the program.
    std::wstring application = program_;
    if (application.size() >= MAX_PATH) {
        const std::wstring shortName = tamsel::ShortPathOf(program_);
        application = !shortName.empty() && shortName.size() < MAX_PATH ? shortName : ExtendedLength(program_);
    }
    // Only these five handles are inherited, where the system can say so.
    STARTUPINFOEXW si{};
    si.StartupInfo.cb = sizeof si;
    SIZE_T listBytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listBytes);
    std::vector<uint8_t> list(listBytes);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    DWORD flags = CREATE_SUSPENDED;
    if (listBytes && InitializeProcThreadAttributeList(attributes, 1, 0, &listBytes)) {
        if (UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handed, sizeof handed, nullptr,
                                      nullptr)) {
            si.lpAttributeList = attributes;
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        }
    }
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                        nullptr, &si.StartupInfo, &pi);
    if (si.lpAttributeList) DeleteProcThreadAttributeList(attributes);
    CloseHandle(self);  // the host has its own
    // Nothing more inherits them: a later program this process starts gets none.
    for (HANDLE h : {mapping_, request_, reply_, progressEvent_}) SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);
    if (!started) {
        End(true);
        trouble_ = L"プラグインホスト " + NameOf(program_) + L" を起動できません";
        return false;
    }
    if (job_ && !AssignProcessToJobObject(job_, pi.hProcess)) {
        // The host's watch of this process is what ends it then.
        CloseHandle(job_);
        job_ = nullptr;
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    serial_ = 0;
    progressSeen_ = 0;
    wasReady_ = lostToEscape_ = false;
    return true;
}

void HostClient::End(bool kill) {
    if (process_ && kill && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 100);  // gone at once, as a rule; the reaper waits for the rest
    }
    if (process_ || job_) ReapLater(process_, job_);
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

// What the host was at when it went, read before its block is let go; a
// host that never served failed to start, and says why when it can.
void HostClient::NoteLoss() {
    if (!block_) return;
    lastWorking_ = Read(block_->working);
    // Self-descriptions answered before the host went are kept: each was
    // complete before the host counted it.
    partial_.clear();
    if (Read(block_->op) == static_cast<uint32_t>(host::Op::Describe)) {
        const size_t count = std::min<size_t>(Read(block_->described), describing_.size());
        host::Reader r(block_->reply, std::min<size_t>(Read(block_->replyBytes), host::kAreaSize));
        if (!host::ReadDescribeReply(r, count, partial_)) partial_.clear();
    }
    wasReady_ = Read(block_->hostReady) != 0;
    if (wasReady_) {
        failedStarts_ = 0;
        return;
    }
    ++failedStarts_;
    const uint32_t version = Read(block_->hostVersion), bits = Read(block_->hostBits);
    if (version && version != host::kVersion) {
        refused_ = true;
        trouble_ = L"プラグインホスト " + NameOf(program_) + L" の通信の版 (" + std::to_wstring(version) +
                   L") がこのコントロールの版 (" + std::to_wstring(host::kVersion) + L") と違います";
    } else if (bits && bits != bits_) {
        refused_ = true;
        trouble_ = L"プラグインホスト " + NameOf(program_) + L" は " + std::to_wstring(bits) + L" ビットで、" +
                   std::to_wstring(bits_) + L" ビットのプラグイン用ではありません";
    } else {
        trouble_ = L"プラグインホスト " + NameOf(program_) + L" が準備を終える前に終了しました";
    }
}

bool HostClient::ShowsAWindow() const {
    WindowSearch search{pid_, false};
    EnumWindows(&FindShownWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HostClient::Waited HostClient::Wait(const Progress* progress, DWORD quietLimitMs, DWORD escapeAfterMs,
                                    const std::atomic<bool>* stop) {
    const ULONGLONG started = GetTickCount64();
    ULONGLONG lastSign = started, lastReport = started, stopped = 0;
    uint32_t lastWorking = block_ ? Read(block_->working) : 0;
    auto lose = [this](bool escape) {
        NoteLoss();
        lostToEscape_ = escape;
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
        if (r == WAIT_OBJECT_0 + 2 || r == WAIT_FAILED) return lose(false);
        if (r == WAIT_OBJECT_0 + 1) lastReport = GetTickCount64();
        Relay(progress);
        if (!block_) return Waited::Lost;
        if (r == WAIT_OBJECT_0) {
            // An answer to anything but this request is a host not to be believed.
            if (Read(block_->replySerial) != serial_) return lose(false);
            Relay(progress);  // the last report before the answer
            if (block_) failedStarts_ = 0;
            return block_ ? Waited::Answered : Waited::Lost;
        }
        // The windows keep painting; other input waits for the answer, as it
        // waits for a plug-in in this process. Escape gives up the host.
        MSG m;
        if (r == WAIT_OBJECT_0 + 3)
            for (int i = 0; i < 64 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i) DispatchMessageW(&m);
        const bool escapeAbandons = escapeAfterMs != INFINITE && GetTickCount64() - lastSign >= escapeAfterMs;
        if (escapeAbandons && PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && m.wParam == VK_ESCAPE) {
            PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
            return lose(true);
        }
        // A plug-in silent for half a second may hang: Escape is looked for
        // behind other keys too (they go back to the queue in their order).
        // A working plug-in's reports let the caller take the keys out itself.
        if (escapeAbandons && GetTickCount64() - lastReport > 500 && EscapeBehindOtherKeys()) return lose(true);
        const ULONGLONG now = GetTickCount64();
        if (!Read(block_->hostReady) && now - started > kStartLimitMs) return lose(false);
        // Stopped: a report comes within a moment or the host is given up.
        if (stop && stop->load()) {
            if (!stopped) stopped = now;
            if (now - std::max(stopped, lastReport) > kStopGraceMs) return lose(true);
        }
        if (quietLimitMs != INFINITE) {
            const uint32_t working = Read(block_->working);
            if (working != lastWorking || r == WAIT_OBJECT_0 + 1) {
                lastWorking = working;
                lastSign = now;
            } else if (now - lastSign > quietLimitMs) {
                // A plug-in whose window waits for the user is not hanging.
                if (!ShowsAWindow()) return lose(false);
                lastSign = now;
            }
        }
    }
}

bool HostClient::BeginDescribe(std::vector<std::wstring> paths) {
    describing_ = std::move(paths);
    if (!Launch()) return false;
    std::vector<std::u16string> list;
    for (auto& p : describing_) list.push_back(Utf16(p));
    return Send(host::Op::Describe, [&](host::Writer& w) { host::WriteDescribeRequest(w, list); });
}

std::vector<std::optional<host::Description>> HostClient::EndDescribe() {
    std::vector<std::optional<host::Description>> result(describing_.size());
    size_t from = 0;
    bool asked = block_ && Read(block_->op) == static_cast<uint32_t>(host::Op::Describe);
    while (from < describing_.size()) {
        if (!asked) {
            if (!Launch()) break;
            std::vector<std::u16string> rest;
            for (size_t i = from; i < describing_.size(); ++i) rest.push_back(Utf16(describing_[i]));
            if (!Send(host::Op::Describe, [&](host::Writer& w) { host::WriteDescribeRequest(w, rest); })) break;
        }
        asked = false;
        const size_t asking = describing_.size() - from;
        // Escape is for a plug-in that keeps the user waiting: one left in the
        // queue for the load to come is not taken by a quick description.
        const Waited w = Wait(nullptr, gQuietLimitMs, 1000);
        if (w == Waited::Lost) {
            if (!wasReady_) continue;  // a host that failed to start: tried again while it may be
            // What was answered stays; the plug-in at work when the host went
            // takes no part; the rest are asked of a fresh host.
            const size_t kept = std::min(partial_.size(), asking);
            for (size_t i = 0; i < kept; ++i) result[from + i] = std::move(partial_[i]);
            from += std::max(kept, std::min<size_t>(lastWorking_ + 1, asking));
            continue;
        }
        std::vector<std::optional<host::Description>> described;
        host::Reader r(block_->reply, std::min<size_t>(Read(block_->replyBytes), host::kAreaSize));
        if (Read(block_->described) != asking || !host::ReadDescribeReply(r, asking, described)) {
            End(true);  // a host that answers nonsense is not asked again
            break;
        }
        for (size_t i = 0; i < asking; ++i) result[from + i] = std::move(described[i]);
        from = describing_.size();
    }
    describing_.clear();
    return result;
}
std::optional<TrialResult> HostClient::Load(SPIFile& file, const std::vector<std::wstring>& modules,
                                            const Progress& progress, const std::atomic<bool>* stop) {
    Waited waited = Waited::Lost;
    // A host that fails to start is started again, while it may be.
    while (waited == Waited::Lost) {
        if (!Launch()) return std::nullopt;
        std::vector<std::u16string> list;
        for (auto& m : modules) list.push_back(Utf16(m));
        Write(block_->cancel, 0);
        if (!Send(host::Op::Load, [&](host::Writer& w) { host::WriteLoadRequest(w, Utf16(file.FilePath()), list); }))
            return TrialResult{};
        waited = Wait(&progress, INFINITE, 0, stop);
        if (waited == Waited::Lost && (wasReady_ || lostToEscape_)) return std::nullopt;
    }
    // A cancel the plug-in heard too late to stop: the picture is not taken.
    if (Read(block_->cancel)) return TrialResult{};

    host::LoadReply reply;
    const bool ok = ReadReply(modules.size(), reply);
    TrialResult result;
    if (ok && reply.result == DISP_E_OVERFLOW) {
        // The one error that ends a whole load; anything else a host says is no picture.
        result.error = DISP_E_OVERFLOW;
    } else if (ok && reply.winner >= 0) {
        const std::wstring& module = modules[static_cast<size_t>(reply.winner)];
        if (reply.picture ? PictureFromBulk(reply, file, module) : !reply.entries.empty()) {
            if (!reply.picture) {
                for (auto& e : reply.entries) file.AddEntry(Wide(e.name), e.size);
                file.SetPluginKey(module);
            }
            if (reply.picture || file.HasEntries()) result.winner = reply.winner;
        }
    }
    // A host that answers nonsense is not asked again; one whose heap a
    // plug-in damaged is replaced before its next request.
    if (!ok || Read(block_->spoiled)) End(true);
    return result;
}

bool HostClient::ReadReply(size_t modules, host::LoadReply& reply) {
    const uint64_t longBytes = block_->longReplyBytes;
    if (!longBytes) {
        host::Reader r(block_->reply, std::min<size_t>(Read(block_->replyBytes), host::kAreaSize));
        return host::ReadLoadReply(r, modules, reply);
    }
    // Too long for the block: the whole answer in a section of its own, taken
    // only as large as any answer may be.
    uint64_t sectionBytes = 0;
    HANDLE section = OpenHostSection(process_, Read(block_->longReplyHandle), host::kLargestReply, sectionBytes);
    if (!section) return false;
    bool ok = false;
    if (const auto* view = static_cast<const uint8_t*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0))) {
        host::Reader big(view, static_cast<size_t>(std::min(sectionBytes, longBytes)));
        ok = host::ReadLoadReply(big, modules, reply);
        UnmapViewOfFile(view);
    }
    CloseHandle(section);
    return ok;
}

bool HostClient::PictureFromBulk(const host::LoadReply& reply, SPIFile& file, const std::wstring& module) {
    if (Read(block_->bulkKind) != static_cast<uint32_t>(host::Bulk::Picture)) return false;
    uint64_t sectionBytes = 0;
    // No picture is larger than what a bitmap's four-byte sizes can describe.
    HANDLE section = OpenHostSection(process_, Read(block_->bulkHandle), uint64_t{kLargestHeader} + 0xFFFFFFFFull,
                                     sectionBytes);
    if (!section) return false;
    // The bitmap is copied out into memory of this process: the host writes
    // its next picture into the same section, and nothing it does later can
    // change a picture handed to the caller.
    HBITMAP bmp = nullptr;
    if (const auto* view = static_cast<const uint8_t*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0))) {
        const uint64_t size = std::min<uint64_t>(sectionBytes, block_->bulkBytes);
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
    if (Wait(&progress, INFINITE, 0) == Waited::Lost) return std::nullopt;
    host::Reader r(block_->reply, std::min<size_t>(Read(block_->replyBytes), host::kAreaSize));
    uint32_t done = 0;
    const bool extracted = r.U32(done) && done == 1;
    if (Read(block_->spoiled)) End(true);
    return extracted;
}

}  // namespace quillmount

// QuillmountHost64.exe / QuillmountHost32.exe BLOCK REQUEST REPLY PROGRESS CONTROL
// Runs the Susie plug-ins of its own bitness for a control in another
// process. The arguments are handles (hexadecimal) the control placed in this
// process before it ran: the shared block, three events and the control's
// process; nothing has a name another process could guess. It serves one
// request at a time, and ends when asked, when the control's process ends
// (even while a plug-in holds the serving thread), or, at once, when a
// plug-in faults: a process a plug-in has broken is not trusted again.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pluginhost/susie/SPIFile.h"
#include "pluginhost/susie/SPIFunction.h"
#include "pluginhost/susie/SPIModule.h"
#include "pluginhost/host/host_protocol.h"
#include "pluginhost/susie/plugin_trial.h"
#include "pluginhost/susie/utf16.h"

using namespace quillmount;

namespace {

LONG WINAPI EndOnFault(EXCEPTION_POINTERS* e) {
    TerminateProcess(GetCurrentProcess(), e && e->ExceptionRecord ? e->ExceptionRecord->ExceptionCode : 3);
    return EXCEPTION_EXECUTE_HANDLER;
}


void Set(uint32_t& field, uint32_t v) { InterlockedExchange(reinterpret_cast<volatile LONG*>(&field), static_cast<LONG>(v)); }
uint32_t Get(const uint32_t& field) {
    return static_cast<uint32_t>(
        InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(const_cast<uint32_t*>(&field)), 0, 0));
}

class Host {
public:
    Host(host::Block* block, HANDLE reply, HANDLE progress) : block_(block), reply_(reply), progress_(progress) {}
    ~Host() {
        DropBulk();
        DropLong();
        DropPool();
    }

    void Serve(host::Op op) {
        DropBulk();  // the control holds its own handle to what it took
        DropLong();
        host::Reader r(block_->request, std::min<size_t>(Get(block_->requestBytes), host::kAreaSize));
        host::Writer w(block_->reply, host::kAreaSize);
        Set(block_->bulkKind, static_cast<uint32_t>(host::Bulk::None));
        block_->longReplyBytes = 0;
        Set(block_->longReplyHandle, 0);
        Set(block_->described, 0);
        switch (op) {
        case host::Op::Describe: Describe(r, w); break;
        case host::Op::Load: Load(r, w); break;
        case host::Op::Extract: Extract(r, w); break;
        default: break;
        }
        Set(block_->replyBytes, w.Fits() ? static_cast<uint32_t>(w.Used()) : 0);
        Set(block_->replySerial, Get(block_->requestSerial));
        SetEvent(reply_);
    }

private:
    // The module for a plug-in file, its self-description read once.
    SPIModule* Module(const std::wstring& path) {
        auto it = modules_.find(path);
        if (it == modules_.end()) {
            auto m = std::make_unique<SPIModule>();
            if (!m->LoadInfo(path)) m.reset();
            it = modules_.emplace(path, std::move(m)).first;
        }
        return it->second.get();
    }

    // Each answer goes out as soon as it is made: a later plug-in that hangs
    // or faults loses only its own.
    void Describe(host::Reader& r, host::Writer& w) {
        std::vector<std::u16string> paths;
        if (!host::ReadDescribeRequest(r, paths)) return;
        for (size_t i = 0; i < paths.size(); ++i) {
            Set(block_->working, static_cast<uint32_t>(i));
            SPIModule* m = Module(Wide(paths[i]));
            host::WriteDescription(w, m ? std::optional<host::Description>(m->Description()) : std::nullopt);
            if (!w.Fits()) return;
            Set(block_->replyBytes, static_cast<uint32_t>(w.Used()));
            Set(block_->described, static_cast<uint32_t>(i + 1));  // a full barrier: the answer is there before its count
        }
    }

    void Report(int32_t current, int32_t total, bool& cancel) {
        const uint32_t n = Get(block_->progressSerial) + 1;
        block_->reports[n % host::kReports] = {current, total};
        Set(block_->progressSerial, n);  // a full barrier: the report is there before its number
        // Waking the control costs a trip through the system (under Wine a
        // server call): at most every 10 ms. The reports in between wait in
        // the ring and are heard all the same, with the next wake or the answer.
        const ULONGLONG now = GetTickCount64();
        if (now - lastWake_ >= 10) {
            lastWake_ = now;
            SetEvent(progress_);
        }
        cancel = Get(block_->cancel) != 0;  // written by the control after it heard an earlier report
    }

    void Load(host::Reader& r, host::Writer& w) {
        std::u16string path;
        std::vector<std::u16string> paths;
        host::LoadReply reply;
        reply.result = S_OK;
        if (!host::ReadLoadRequest(r, path, paths)) {
            host::WriteLoadReply(w, reply);
            return;
        }
        SPIFile file;
        file.Init(Wide(path), L"", nullptr);
        failed_ = false;
        // A file that cannot be described takes part as a plug-in that supports nothing.
        std::vector<SPIModule> none(1);
        std::vector<SPIModule*> modules;
        for (auto& p : paths) {
            SPIModule* m = Module(Wide(p));
            modules.push_back(m ? m : &none[0]);
        }
        for (SPIModule* m : modules)
            m->OnDecoding = [this](int32_t c, int32_t t, bool& cancel) { Report(c, t, cancel); };
        const TrialResult t = TryModules(
            file, modules, [&](SPIModule& m) { return Decode(m, file, reply); },
            [this] { return Get(block_->cancel) != 0; }, [this](int i) { Set(block_->working, static_cast<uint32_t>(i)); });
        for (SPIModule* m : modules) m->OnDecoding = nullptr;

        if (FAILED(t.error) || t.winner < 0) {
            const HRESULT error = t.error;
            reply = host::LoadReply();
            reply.result = error;
            DropBulk();
        } else {
            reply.winner = t.winner;
            if (!reply.picture)
                for (int32_t i = 0; i < file.EntryCount(); ++i)
                    reply.entries.push_back({Utf16(file.EntryNameAt(i)), file.EntrySizeAt(i)});
        }
        host::WriteLoadReply(w, reply);
        if (!w.Fits()) {
            // A reply too long for the block (a long listing or picture text) goes whole into a section.
            size_t bytes = 64 + 2 * reply.text.size();
            for (auto& e : reply.entries) bytes += 12 + 2 * e.name.size();
            std::vector<uint8_t> big(bytes);
            host::Writer bw(big.data(), big.size());
            host::WriteLoadReply(bw, reply);
            if (!bw.Fits() || bw.Used() > host::kLargestReply || !PutLongReply(big.data(), bw.Used())) {
                reply = host::LoadReply();
                host::Writer none(block_->reply, host::kAreaSize);
                host::WriteLoadReply(none, reply);
                w = none;
            }
        }
        if (t.winner < 0 || failed_) CheckHeaps();
    }

    // A plug-in that failed may have written where it should not: a damaged
    // heap in this process would fail some later request in a way nobody can
    // blame, so the control replaces this host first.
    void CheckHeaps() {
        HANDLE heaps[256];
        const DWORD n = GetProcessHeaps(256, heaps);
        for (DWORD i = 0; i < n && i < 256; ++i)
            if (!HeapValidate(heaps[i], 0, nullptr)) {
                Set(block_->spoiled, 1);
                return;
            }
    }

    bool PutLongReply(const uint8_t* data, size_t bytes) {
        DropLong();
        long_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(bytes), nullptr);
        void* view = long_ ? MapViewOfFile(long_, FILE_MAP_WRITE, 0, 0, bytes) : nullptr;
        if (!view) return false;
        std::memcpy(view, data, bytes);
        UnmapViewOfFile(view);
        block_->longReplyBytes = bytes;
        Set(block_->longReplyHandle, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(long_)));
        return true;
    }

    void DropLong() {
        if (long_) CloseHandle(long_);
        long_ = nullptr;
    }

    // A picture plug-in's bitmap, checked as the control's process would,
    // into a section the control maps: header and colour table, then the pixels.
    HRESULT Decode(SPIModule& m, SPIFile& file, host::LoadReply& reply) {
        RawPicture raw;
        if (m.DecodeRaw(&file, raw) != S_OK) {
            failed_ = true;
            return S_FALSE;
        }
        LockedBlock head(raw.header), bits(raw.pixels);
        DibLayout layout;
        switch (CheckDib(head.data(), head.size(), bits.size(), layout)) {
        case DibCheck::Overflow: return DISP_E_OVERFLOW;
        case DibCheck::NoPicture: return S_FALSE;
        case DibCheck::Ok: break;
        }
        const uint32_t headerBytes = layout.headerSize + 4 * layout.colors;
        if (!PutBulk(host::Bulk::Picture, head.data(), headerBytes, bits.data(), layout.pixelBytes)) return S_FALSE;
        reply.picture = true;
        reply.width = raw.info.width;
        reply.height = raw.info.height;
        reply.depth = raw.info.colorDepth;
        reply.text = Utf16(raw.text);
        reply.headerBytes = headerBytes;
        reply.pixelOffset = host::PixelOffsetFor(headerBytes);
        reply.pixelBytes = layout.pixelBytes;
        return S_OK;
    }

    // Pictures go through one section the host keeps mapped from one load to
    // the next (the control copies out of it): pages of shared memory are dear
    // to fault in the first time, and cheap to write again. A much smaller
    // picture gets a section of its own size.
    bool PutBulk(host::Bulk kind, const uint8_t* first, size_t firstBytes, const uint8_t* second, size_t secondBytes) {
        DropBulk();
        const uint64_t offset = second ? host::PixelOffsetFor(static_cast<uint32_t>(firstBytes)) : 0;
        const uint64_t total = second ? offset + secondBytes : firstBytes;
        const bool pooled = kind == host::Bulk::Picture;
        if (!pooled || total > poolBytes_ || total < poolBytes_ / 4) {
            HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                static_cast<DWORD>(total >> 32), static_cast<DWORD>(total), nullptr);
            auto* view = section ? static_cast<uint8_t*>(
                                       MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(total)))
                                 : nullptr;
            if (!view) {
                if (section) CloseHandle(section);
                return false;
            }
            if (pooled) {
                DropPool();
                pool_ = section, poolView_ = view, poolBytes_ = total;
            } else {
                bulk_ = section, bulkView_ = view;
            }
        }
        uint8_t* view = pooled ? poolView_ : bulkView_;
        std::memcpy(view, first, firstBytes);
        if (second) std::memcpy(view + offset, second, secondBytes);
        Set(block_->bulkHandle, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pooled ? pool_ : bulk_)));
        block_->bulkBytes = total;
        Set(block_->bulkKind, static_cast<uint32_t>(kind));
        return true;
    }

    void DropBulk() {
        if (bulkView_) UnmapViewOfFile(bulkView_);
        if (bulk_) CloseHandle(bulk_);
        bulk_ = nullptr;
        bulkView_ = nullptr;
    }

    void DropPool() {
        if (poolView_) UnmapViewOfFile(poolView_);
        if (pool_) CloseHandle(pool_);
        pool_ = nullptr;
        poolView_ = nullptr;
        poolBytes_ = 0;
    }

    void Extract(host::Reader& r, host::Writer& w) {
        host::ExtractRequest request;
        bool done = false;
        if (host::ReadExtractRequest(r, request)) {
            SPIModule* m = Module(Wide(request.module));
            if (m) {
                m->OnDecoding = [this](int32_t c, int32_t t, bool& cancel) { Report(c, t, cancel); };
                done = m->ExtractTo(Wide(request.archive), Wide(request.entry), Wide(request.folder));
                m->OnDecoding = nullptr;
            }
        }
        if (!done) CheckHeaps();
        w.U32(done ? 1 : 0);
    }

    host::Block* block_;
    HANDLE reply_, progress_;
    HANDLE bulk_ = nullptr, pool_ = nullptr, long_ = nullptr;
    uint8_t* bulkView_ = nullptr;
    uint8_t* poolView_ = nullptr;
    uint64_t poolBytes_ = 0;
    ULONGLONG lastWake_ = 0;
    bool failed_ = false;  // a plug-in of this load returned an error
    std::map<std::wstring, std::unique_ptr<SPIModule>> modules_;
};

// Ends this process when the control's does, whatever the serving thread is
// held in: a host outlives its control only as long as this takes to wake.
DWORD WINAPI Watchdog(void* control) {
    WaitForSingleObject(static_cast<HANDLE>(control), INFINITE);
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}

HANDLE HandleArgument(const wchar_t* text) {
    wchar_t* end = nullptr;
    const unsigned long long v = std::wcstoull(text, &end, 16);
    return end && *end == 0 && v ? reinterpret_cast<HANDLE>(static_cast<uintptr_t>(v)) : nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // No dialog for a fault or a missing disk: the host just ends.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(&EndOnFault);

    const int argc = __argc;
    wchar_t** argv = __wargv;
    if (!argv || argc != 6) return 2;
    HANDLE mapping = HandleArgument(argv[1]), request = HandleArgument(argv[2]), reply = HandleArgument(argv[3]),
           progress = HandleArgument(argv[4]), control = HandleArgument(argv[5]);
    if (!mapping || !request || !reply || !progress || !control) return 2;
    auto* block = static_cast<host::Block*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(host::Block)));
    if (!block) return 3;
    // Said before anything else, so that a control of another version or
    // bitness can tell why this host will not serve it.
    Set(block->hostBits, sizeof(void*) * 8);
    Set(block->hostVersion, host::kVersion);
    if (block->magic != host::kMagic || block->version != host::kVersion) return 3;
    HANDLE watchdog = CreateThread(nullptr, 64 * 1024, &Watchdog, control, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!watchdog) return 3;
    CloseHandle(watchdog);
    Set(block->hostPid, GetCurrentProcessId());
    Set(block->hostReady, 1);

    Host host(block, reply, progress);
    for (;;) {
        HANDLE waits[2] = {request, control};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) break;  // the control is gone
        const auto op = static_cast<host::Op>(Get(block->op));
        if (op == host::Op::Quit) break;
        host.Serve(op);
    }
    return 0;
}

#include "pluginhost/susie/SPIManager.h"

#include <algorithm>

#include "app/ordinary_files.h"
#include "pluginhost/susie/SPIFile.h"
#include "pluginhost/susie/SPIFunction.h"
#include "pluginhost/susie/SPIModule.h"
#include "pluginhost/host/host_client.h"
#include "pluginhost/susie/plugin_trial.h"
#include "pluginhost/susie/utf16.h"

namespace quillmount {
namespace {

constexpr Abi kOtherAbi = kAbi == Abi::Sph64 ? Abi::Spi32 : Abi::Sph64;
constexpr const wchar_t* kOtherPattern = kAbi == Abi::Sph64 ? L"*.spi" : L"*.sph";

std::vector<std::wstring> Enumerate(const std::wstring& folder, const wchar_t* pattern) {
    return tamsel::OrdinaryFiles(folder + pattern);
}

std::wstring Stem(const std::wstring& name) { return name.substr(0, name.find_last_of(L'.')); }

bool SameStem(const std::wstring& a, const std::wstring& b) {
    const std::wstring x = Stem(a), y = Stem(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

std::vector<std::wstring> Paths(const std::wstring& folder, const std::vector<std::wstring>& names) {
    std::vector<std::wstring> paths;
    for (auto& n : names) paths.push_back(folder + n);
    return paths;
}

}  // namespace

SPIManager::SPIManager(Isolation isolation) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Obrinth\\Susie\\Plug-in", 0, KEY_QUERY_VALUE, &key);
    if (!key) return;
    DWORD bytes = 0;
    RegQueryValueExW(key, L"Path", nullptr, nullptr, nullptr, &bytes);
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = bytes;
    if (bytes) RegQueryValueExW(key, L"Path", nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &got);
    RegCloseKey(key);
    path_ = TrimNull(value);
    if (path_.empty() || path_.back() != L'\\') path_ += L'\\';

    const std::vector<std::wstring> own = Enumerate(path_, kPluginPattern);
    // Of a plug-in in both kinds, the library's own kind is the one used.
    std::vector<std::wstring> other;
    for (auto& name : Enumerate(path_, kOtherPattern))
        if (std::none_of(own.begin(), own.end(), [&](const std::wstring& o) { return SameStem(o, name); }))
            other.push_back(name);

    const bool hosts = isolation == Isolation::Hosts;
    if (!own.empty()) {
        Kind k;
        k.own = true;
        k.paths = Paths(path_, own);
        if (hosts) k.host = std::make_shared<HostClient>(HostProgramFor(kAbi), kAbi);
        kinds_.push_back(std::move(k));
    }
    if (!other.empty() && hosts) {
        Kind k;
        k.paths = Paths(path_, other);
        k.host = std::make_shared<HostClient>(HostProgramFor(kOtherAbi), kOtherAbi);
        kinds_.push_back(std::move(k));
    }
    for (Kind& k : kinds_) Plan(k);
    // The hosts' answers are taken when first needed, not here: Start must not wait for a process to start.
    settled_ = false;
    if (std::all_of(kinds_.begin(), kinds_.end(), [](const Kind& k) { return k.asked.empty(); })) Settle();
}

SPIManager::~SPIManager() = default;

void SPIManager::Plan(Kind& k) {
    k.stamps.resize(k.paths.size());
    k.described.resize(k.paths.size());
    k.kept.resize(k.paths.size());
    std::vector<std::wstring> ask;
    for (size_t i = 0; i < k.paths.size(); ++i) {
        k.stamps[i] = StampOf(k.paths[i]);
        if (k.stamps[i]) k.described[i] = CachedDescription(k.paths[i], *k.stamps[i]);
        if ((k.kept[i] = k.described[i].has_value())) continue;
        k.asked.push_back(i);
        ask.push_back(k.paths[i]);
    }
    if (k.asked.empty()) return;
    if (k.host && k.host->BeginDescribe(ask)) return;
    // No host to ask: the own kind is read here; the other kind cannot be.
    if (k.own) {
        k.host.reset();
        for (size_t i : k.asked) DescribeHere(k, i);
    } else {
        standingTrouble_ = k.host->Trouble();
    }
    k.asked.clear();
}

void SPIManager::DescribeHere(Kind& k, size_t i) {
    SPIModule module;
    if (module.LoadInfo(k.paths[i])) k.described[i] = module.Description();
}

void SPIManager::RunHere(const std::shared_ptr<HostClient>& host) {
    for (auto& e : entries_)
        if (e.host == host) e.host.reset();
    for (Kind& k : kinds_)
        if (k.host == host) k.host.reset();
}

void SPIManager::Settle() {
    if (settled_) return;
    for (Kind& k : kinds_) {
        if (k.asked.empty()) continue;
        const auto answers = k.host->EndDescribe();
        for (size_t n = 0; n < k.asked.size() && n < answers.size(); ++n) k.described[k.asked[n]] = answers[n];
        // A host that could not start at all: the own kind is read here after all.
        if (k.host->Unavailable()) {
            if (k.own) {
                k.host.reset();
                for (size_t i : k.asked)
                    if (!k.described[i]) DescribeHere(k, i);
            } else {
                standingTrouble_ = k.host->Trouble();
            }
        }
        k.asked.clear();
    }
    // Own kind first, then the other, each in the order the folder listed them.
    entries_.clear();
    for (Kind& k : kinds_)
        for (size_t i = 0; i < k.paths.size(); ++i) {
            if (!k.described[i]) continue;
            auto module = std::make_unique<SPIModule>();
            if (!module->Adopt(k.paths[i], *k.described[i])) continue;
            if (k.stamps[i] && !k.kept[i]) KeepDescription(k.paths[i], *k.stamps[i], *k.described[i]);
            entries_.push_back({std::move(module), k.host});
        }
    settled_ = true;
    BuildFilter();
}

void SPIManager::BuildFilter() {
    std::vector<std::string> firstFilters;
    for (auto& e : entries_)
        if (e.module->IsPicture() && !e.module->Filters().empty()) firstFilters.push_back(ToAnsi(e.module->Filters()[0]));
    filter_ = FromAnsi(CombinedFilter(firstFilters));
    firstFilters.clear();
    for (auto& e : entries_)
        if (e.module->IsArchive() && !e.module->Filters().empty()) firstFilters.push_back(ToAnsi(e.module->Filters()[0]));
    archiveFilter_ = FromAnsi(CombinedFilter(firstFilters));
}

std::wstring SPIManager::ArchiveFilter() {
    Settle();
    return archiveFilter_;
}

std::wstring SPIManager::PictureFilter() {
    Settle();
    return filter_;
}

std::vector<std::wstring> SPIManager::ModuleOrder() {
    Settle();
    std::vector<std::wstring> order;
    for (auto& e : entries_) order.push_back(e.module->ModulePath());
    return order;
}

DWORD SPIManager::HostOf(const std::wstring& modulePath) {
    Settle();
    for (auto& e : entries_)
        if (e.module->ModulePath() == modulePath) return e.host ? e.host->ProcessId() : 0;
    return 0;
}

void SPIManager::Relay(int32_t current, int32_t total, bool& refCancel) {
    if (OnDecoding) OnDecoding(current, total, cancel_);
    refCancel = cancel_;
}

HRESULT SPIManager::LoadFile(SPIFile* file, const std::atomic<bool>* away) {
    const bool hostsOnly = away != nullptr;
    if (busy_ || !file) return S_FALSE;
    if (hostsOnly && (!settled_ || std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) {
                          return !e.host || e.host->Unavailable();
                      })))
        return S_FALSE;
    busy_ = true;
    cancel_ = false;
    loadTrouble_.clear();
    struct Done {
        SPIManager& m;
        ~Done() {
            m.module_ = nullptr;
            m.busy_ = false;
        }
    } done{*this};

    if (file->IsBitmapFile() && file->LoadBitmap()) return S_OK;
    // Plug-ins take names into buffers of the classic path length: a longer
    // name is one none of them reads, rather than one cut or overrun.
    if (ToAnsi(file->FilePath()).size() >= MAX_PATH) return S_FALSE;
    Settle();

    auto relay = [this](int32_t c, int32_t t, bool& r) { Relay(c, t, r); };
    int winner = -1;
    // Runs of neighbours in the trial order that run in the same place are
    // offered the file in one go.
    for (size_t i = 0; i < entries_.size() && winner < 0 && !cancel_;) {
        const std::shared_ptr<HostClient> host = entries_[i].host;  // kept alive through nested commands
        size_t end = i;
        while (end < entries_.size() && entries_[end].host == host) ++end;
        if (!host) {
            std::vector<SPIModule*> run;
            for (size_t k = i; k < end; ++k) run.push_back(entries_[k].module.get());
            for (SPIModule* m : run) m->OnDecoding = relay;
            const TrialResult r = TryModules(
                *file, run, [file](SPIModule& m) { return m.DecodePicture(file); }, [this] { return cancel_; },
                [this, &run](int k) { module_ = run[static_cast<size_t>(k)]; });
            for (SPIModule* m : run) m->OnDecoding = nullptr;
            if (FAILED(r.error)) return r.error;  // an overflow ends the whole load
            if (r.winner >= 0) winner = static_cast<int>(i) + r.winner;
        } else {
            std::vector<std::wstring> run;
            for (size_t k = i; k < end; ++k) run.push_back(entries_[k].module->ModulePath());
            const std::optional<TrialResult> r = host->Load(*file, run, relay, away);
            if (!r) {
                if (host->LostToEscape()) break;  // the user gave up on a plug-in that does not answer
                if (host->Unavailable()) {
                    if (hostsOnly) return S_FALSE;  // its plug-ins would run here
                    // A host that cannot run: the own kind runs here instead, from
                    // where it was; the other kind is left out, and the load says why.
                    if (std::any_of(kinds_.begin(), kinds_.end(), [&](const Kind& k) { return k.own && k.host == host; })) {
                        RunHere(host);
                        continue;
                    }
                    loadTrouble_ = host->Trouble();
                    i = end;
                    continue;
                }
                // The plug-in at work when its host went is out for this file;
                // the trial goes on after it, in a fresh host.
                i += std::min(host->LostAt(), end - i - 1) + 1;
                continue;
            }
            if (FAILED(r->error)) return r->error;
            if (r->winner >= 0) winner = static_cast<int>(i) + r->winner;
        }
        i = end;
    }
    module_ = nullptr;
    // Plug-ins of a kind whose host never ran might have read the file.
    if (winner < 0 && loadTrouble_.empty()) loadTrouble_ = standingTrouble_;
    if (winner >= 0) {
        // The most recently successful plug-in is tried first next time.
        std::rotate(entries_.begin(), entries_.begin() + winner, entries_.begin() + winner + 1);
    }
    return cancel_ ? S_FALSE : S_OK;
}

std::shared_ptr<SPIFile> SPIManager::ExtractEntry(const std::shared_ptr<SPIFile>& file, const std::wstring& entryName,
                                                  const std::wstring& into) {
    if (busy_ || !file || entryName.empty() || !file->HasEntries()) return nullptr;
    busy_ = true;
    cancel_ = false;
    struct Done {
        SPIManager& m;
        ~Done() { m.busy_ = false; }
    } done{*this};
    Settle();
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](auto& e) { return e.module->ModulePath() == file->PluginKey(); });
    module_ = it == entries_.end() ? nullptr : it->module.get();
    if (!module_) return nullptr;
    auto relay = [this](int32_t c, int32_t t, bool& r) { Relay(c, t, r); };
    const std::shared_ptr<HostClient> host = it->host;
    if (!host) {
        module_->OnDecoding = relay;
        std::shared_ptr<SPIFile> result = module_->ExtractFile(file, entryName, into);
        module_->OnDecoding = nullptr;
        return result;
    }
    const std::wstring fileName = SafeEntryFileName(entryName);
    if (fileName.empty() || !module_->IsArchive()) return nullptr;
    const std::wstring folder = into.empty() ? file->TempFolder() : (into.back() == L'\\' ? into : into + L"\\");
    const std::optional<bool> extracted = host->Extract(
        {Utf16(module_->ModulePath()), Utf16(file->FilePath()), Utf16(entryName), Utf16(folder)}, relay);
    if (!extracted || !*extracted) return nullptr;
    auto entry = std::make_shared<SPIFile>();
    if (!entry->Init(JoinPath(folder, fileName), entryName, file)) return nullptr;
    return entry;
}

}  // namespace quillmount

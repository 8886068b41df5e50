#include "search/details/probetargets.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "log/searchlog.h"

namespace {

// Read with std::atomic_load: a copy of the pointer keeps the table alive for its reader.
std::shared_ptr<const CProbeTargetTable> currentTable;
}  // namespace

std::atomic<bool> probeTargetsSet{false};

CProbeTargetTable::CProbeTargetTable(std::vector<std::uint32_t> list) : addresses(std::move(list)) {
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    counters.reset(new Counters[addresses.size()]);
}

CProbeTargetTable::Counters* CProbeTargetTable::Find(std::uint32_t address) const {
    const auto found = std::lower_bound(addresses.begin(), addresses.end(), address);
    if (found == addresses.end() || *found != address) return nullptr;
    return &counters[static_cast<std::size_t>(found - addresses.begin())];
}

void CProbeTargetTable::Reset() const {
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        counters[i].probesSent.store(0, std::memory_order_relaxed);
        counters[i].sendErrors.store(0, std::memory_order_relaxed);
        counters[i].lastSendError.store(0, std::memory_order_relaxed);
        counters[i].answers.store(0, std::memory_order_relaxed);
        counters[i].unsent.store(0, std::memory_order_relaxed);
    }
}

std::vector<SearchTargetHealth> CProbeTargetTable::Health() const {
    std::vector<SearchTargetHealth> health(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        in_addr raw{htonl(addresses[i])};
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &raw, text, sizeof text);
        health[i].address = text;
        health[i].probesSent = counters[i].probesSent.load(std::memory_order_relaxed);
        health[i].sendErrors = counters[i].sendErrors.load(std::memory_order_relaxed);
        health[i].lastSendError = counters[i].lastSendError.load(std::memory_order_relaxed);
        health[i].answers = counters[i].answers.load(std::memory_order_relaxed);
        health[i].probesUnsent = counters[i].unsent.load(std::memory_order_relaxed);
    }
    return health;
}

void PublishProbeTargets(const std::vector<std::string>& texts) {
    std::vector<std::uint32_t> addresses;
    for (const std::string& text : texts) {
        in_addr raw{};
        if (addresses.size() >= kMaxSearchTargets || ::inet_pton(AF_INET, text.c_str(), &raw) != 1) {
            WriteSearchLog("SetSearchTargets : left out %s ", text.c_str());
            continue;
        }
        addresses.push_back(ntohl(raw.s_addr));
    }
    std::shared_ptr<const CProbeTargetTable> table;
    if (!addresses.empty()) table = std::make_shared<const CProbeTargetTable>(std::move(addresses));
    WriteSearchLog("SetSearchTargets : %d targets ", table ? static_cast<int>(table->Size()) : 0);
    probeTargetsSet.store(table != nullptr);
    std::atomic_store(&currentTable, table);
}

std::shared_ptr<const CProbeTargetTable> CurrentProbeTargets() {
    return std::atomic_load(&currentTable);
}

void CountTargetAnswer(const char* fromIp) {
    in_addr raw{};
    if (::inet_pton(AF_INET, fromIp, &raw) != 1) return;
    const std::shared_ptr<const CProbeTargetTable> table = CurrentProbeTargets();
    if (!table) return;
    if (CProbeTargetTable::Counters* counters = table->Find(ntohl(raw.s_addr))) {
        counters->answers.fetch_add(1, std::memory_order_relaxed);
    }
}

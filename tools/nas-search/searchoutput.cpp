#include "tools/nas-search/searchoutput.h"

#include "tools/nas-search/reportformat.h"

CSearchOutput::CSearchOutput(std::FILE* out, bool json) : out(out), json(json) {}

void CSearchOutput::Line(std::FILE* stream, const std::string& text) {
    std::fputs((text + "\n").c_str(), stream);
    std::fflush(stream);
}

void CSearchOutput::Worker(const SearchWorkerHealth& worker) {
    std::lock_guard<std::mutex> lock(mutex);
    interfaceByPort[worker.port] = worker.interfaceName;
    if (json) {
        Line(out, WorkerJson(worker, false));
    } else {
        Line(stderr, WorkerText(worker));
    }
}

void CSearchOutput::Probe(std::size_t targets) {
    std::lock_guard<std::mutex> lock(mutex);
    if (json) {
        Line(out, ProbeJson(targets));
    } else {
        Line(stderr, "probing " + std::to_string(targets) + " addresses beyond this network");
    }
}

void CSearchOutput::Report(const deviceinfo& record, int handle) {
    std::lock_guard<std::mutex> lock(mutex);
    if (reportsClosed) return;
    const auto worker = interfaceByPort.find(handle);
    const std::string interfaceName = worker != interfaceByPort.end() ? worker->second : "";
    if (!interfaceName.empty())
        interfaceByIp[std::string(DeviceFieldText(record.ip))] = interfaceName;
    if (json) {
        Line(out, ReportJson(record, handle, interfaceName));
    } else {
        Line(stderr, ReportText(record, handle));
    }
}

void CSearchOutput::Watch(const WatchEvent& event) {
    std::lock_guard<std::mutex> lock(mutex);
    Line(out, json ? WatchJson(event) : WatchText(event));
}

void CSearchOutput::CloseReports() {
    std::lock_guard<std::mutex> lock(mutex);
    reportsClosed = true;
}

void CSearchOutput::Devices(const std::vector<deviceinfo>& devices) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!json) {
        std::fputs(DeviceTable(devices).c_str(), out);
        std::fflush(out);
        return;
    }
    for (const deviceinfo& device : devices) {
        const auto heard = interfaceByIp.find(std::string(DeviceFieldText(device.ip)));
        Line(out, DeviceJson(device, heard != interfaceByIp.end() ? heard->second : ""));
    }
}

void CSearchOutput::Hints(const std::vector<SearchHint>& hints) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const SearchHint& hint : hints) {
        if (json) {
            Line(out, HintJson(hint));
        } else {
            Line(stderr, "nas-search: " + HintText(hint));
        }
    }
}

void CSearchOutput::Diagnosis(const std::vector<SearchWorkerHealth>& workers,
                              const std::vector<SearchHint>& hints) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!json) {
        std::fputs(DiagnosisText(workers, hints).c_str(), out);
        std::fflush(out);
        return;
    }
    for (const SearchWorkerHealth& worker : workers) Line(out, WorkerJson(worker, true));
    for (const SearchHint& hint : hints) Line(out, HintJson(hint));
}

void CSearchOutput::Done(std::size_t devices, bool watched) {
    std::lock_guard<std::mutex> lock(mutex);
    if (json) {
        Line(out, DoneJson(devices));
    } else if (watched) {
        Line(out,
             "= " + std::to_string(devices) + (devices == 1 ? " box present" : " boxes present"));
    }
}

std::string CSearchOutput::InterfaceOfPort(int port) const {
    std::lock_guard<std::mutex> lock(mutex);
    const auto worker = interfaceByPort.find(port);
    return worker != interfaceByPort.end() ? worker->second : "";
}

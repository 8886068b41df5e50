#include "tools/nas-search/reportprinter.h"

#include <atomic>
#include <string>

#include "tools/nas-search/reportformat.h"

namespace {

std::atomic<CReportPrinter*> current{nullptr};

}  // namespace

CReportPrinter::CReportPrinter(std::FILE* jsonOut, bool json) : jsonOut(jsonOut), json(json) {}

void CReportPrinter::Use(CReportPrinter* printer) {
    current.store(printer);
}

int CReportPrinter::OnReport(deviceinfo* record, int handle) {
    if (CReportPrinter* printer = current.load()) printer->Print(*record, handle);
    return 0;
}

void CReportPrinter::Print(const deviceinfo& record, int handle) {
    const std::string line =
        (json ? ReportJson(record, handle) : ReportText(record, handle)) + "\n";
    std::lock_guard<std::mutex> lock(mutex);
    if (closed) return;
    std::FILE* out = json ? jsonOut : stderr;
    std::fputs(line.c_str(), out);
    std::fflush(out);
}

void CReportPrinter::Close() {
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
}

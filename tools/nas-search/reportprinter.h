#pragma once

#include <cstdio>
#include <mutex>

#include "search/deviceinfo.h"

// Prints every report the store forwards, from the library's worker threads, one whole line
// at a time: JSON Lines to the JSON stream, or a readable line to standard error.
class CReportPrinter {
public:
    CReportPrinter(std::FILE* jsonOut, bool json);

    // The store's application callback. Prints through the printer given to Use.
    static int OnReport(deviceinfo* record, int handle);
    static void Use(CReportPrinter* printer);

    void Print(const deviceinfo& record, int handle);
    // No report is printed after this, so the final list is the last thing in the output.
    void Close();

private:
    std::mutex mutex;
    std::FILE* jsonOut;
    bool json;
    bool closed = false;
};

#pragma once

#include <QString>

// The application's own diagnostic lines: one plain line each on standard error, apart from the
// search library's log file, with any control byte of what they quote shown as '?'. Safe from
// any thread.
void ConsoleLog(const QString& line);

#pragma once

// The search library's diagnostic log: one dated file, opened and closed for every line,
// every line echoed to standard output. Off until OpenSearchLog switches it on with a location.
// The state is process-wide and takes no lock: the file is appended one whole line per write.

// Switches the log on or off. location is a directory prefix ending in the path separator;
// the file name (YYYY-MM-DD-SearchDeviceLog.txt) is appended to it as is.
// Returns 1 when the log was switched on with a usable location, else 0.
int OpenSearchLog(bool logSwitch, const char* location);

// Formats one message printf-style and appends it with a day-and-time stamp.
// Returns 1 when a line was produced, 0 when the log is off or the message is empty or too long.
int WriteSearchLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes the closing line. The log stays on: late lines from ending workers still land.
void CloseSearchLog();

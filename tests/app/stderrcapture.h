#pragma once

#include <QString>
#include <QStringList>

// Sends everything written to standard error (file descriptor 2, so from any thread) into a
// temporary file until lines() is called or the capture ends.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Stops capturing (once) and returns the captured lines.
    QStringList lines();

private:
    void stop();

    int savedStderr = -1;
    int captureFile = -1;
    QStringList captured;
};

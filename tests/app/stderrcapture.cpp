#include "tests/app/stderrcapture.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

StderrCapture::StderrCapture() {
    char name[] = "/tmp/nasfinder-stderr-XXXXXX";
    captureFile = mkstemp(name);
    if (captureFile < 0) std::abort();
    unlink(name);
    std::fflush(stderr);
    savedStderr = dup(STDERR_FILENO);
    dup2(captureFile, STDERR_FILENO);
}

StderrCapture::~StderrCapture() {
    stop();
}

QStringList StderrCapture::lines() {
    stop();
    return captured;
}

void StderrCapture::stop() {
    if (savedStderr < 0) return;
    std::fflush(stderr);
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    savedStderr = -1;

    QByteArray text;
    char buffer[4096];
    lseek(captureFile, 0, SEEK_SET);
    for (ssize_t n; (n = read(captureFile, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(captureFile);
    captured = QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Start-up and idle cost of the desktop window, measured on the real platform (Xvfb in the
// benchmark script). The driver starts itself as a child for each measurement, so that every
// figure includes loading the program and Qt, as a user's start does.
//
//   nasfinder_app_bench [--runs N] [--idle-seconds S] [--floor NASFINDER_FLOOR_BENCH]
//
// Figures: time from the fork to the end of the window's first paint (median of N starts),
// beside the same time for the floor, a bare Qt program with the same form, started alternately
// with the window so that both see the same machine; peak resident memory of a run through a
// whole search window and an idle spell; and the CPU used while idle between search windows.

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/app/firstpaintwatch.h"
#include "src/app/appdelegate.h"
#include "src/app/controller.h"
#include "src/app/launchoptions.h"
#include "src/app/mainwindow.h"

namespace {

constexpr double kFirstPaintTargetMs = 150.0;
constexpr double kPeakMemoryTargetMiB = 40.0;
constexpr double kIdleCpuTargetPercent = 0.5;
// The search window is 11 ticks; the 12th enables the buttons and the window is idle after it.
constexpr int kSearchWindowMs = 12500;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The window exactly as main() builds it.
struct Window {
    explicit Window(int& argc, char** argv) : application(argc, argv) {
        LaunchOptions options = ParseLaunchOptions({"nasfinder"});
        window = std::make_unique<MainWindow>(options);
    }
    QApplication application;
    std::unique_ptr<MainWindow> window;
};

int RunStartChild(int argc, char** argv, double startMs) {
    Window app(argc, argv);
    FirstPaintWatch watch(startMs);
    app.application.installEventFilter(&watch);
    app.window->show();
    QTimer::singleShot(0, app.window->appDelegate(), &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}

int RunIdleChild(int argc, char** argv, int idleSeconds) {
    Window app(argc, argv);
    app.window->show();
    double idleStartCpu = 0;
    double idleStartMs = 0;
    QTimer::singleShot(kSearchWindowMs, [&] {
        idleStartCpu = CpuSeconds();
        idleStartMs = MonotonicMs();
    });
    QTimer::singleShot(kSearchWindowMs + idleSeconds * 1000, [&] {
        const double cpu = CpuSeconds() - idleStartCpu;
        const double wall = (MonotonicMs() - idleStartMs) / 1e3;
        std::printf("idle-cpu-percent %.3f\n", 100.0 * cpu / wall);
        std::fflush(stdout);
        std::_Exit(0);
    });
    return QApplication::exec();
}

struct ChildResult {
    std::string output;
    double maxRssMiB = 0;
    bool ok = false;
};

// Runs program with args, its standard output captured and its standard error dropped (the
// window's console lines).
ChildResult RunChild(const char* program, std::vector<std::string> args) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const std::string start = std::to_string(MonotonicMs());
    for (std::string& arg : args) {
        if (arg == "@now") arg = start;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDERR_FILENO);
        close(pipeFds[0]);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    ChildResult result;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.output.append(buffer, n);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.maxRssMiB = usage.ru_maxrss / 1024.0;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

double Figure(const std::string& output, const char* name) {
    const std::size_t at = output.find(name);
    return at == std::string::npos ? -1 : std::atof(output.c_str() + at + std::strlen(name) + 1);
}

const char* Verdict(double value, double target) {
    return value < target ? "within" : "OVER";
}

// One program's first paints over the runs, and the most memory a start took.
struct Paints {
    std::vector<double> ms;
    double maxRssMiB = 0;
    double median() const { return ms[ms.size() / 2]; }
};

bool StartOnce(const char* program, Paints& paints) {
    const ChildResult child = RunChild(program, {"--child-start", "@now"});
    const double paint = Figure(child.output, "first-paint-ms");
    if (!child.ok || paint < 0) return false;
    paints.ms.push_back(paint);
    paints.maxRssMiB = std::max(paints.maxRssMiB, child.maxRssMiB);
    return true;
}

int RunDriver(const char* self, const char* floor, int runs, int idleSeconds) {
    Paints window;
    Paints bare;
    for (int run = 0; run < runs; ++run) {
        if (!StartOnce(self, window) || (floor && !StartOnce(floor, bare))) {
            std::fprintf(stderr, "bench: start run %d failed (is DISPLAY set?)\n", run + 1);
            return 1;
        }
    }
    std::sort(window.ms.begin(), window.ms.end());
    std::sort(bare.ms.begin(), bare.ms.end());
    const double median = window.median();

    const ChildResult idle = RunChild(self, {"--child-idle", std::to_string(idleSeconds)});
    const double idleCpu = Figure(idle.output, "idle-cpu-percent");
    if (!idle.ok || idleCpu < 0) {
        std::fprintf(stderr, "bench: idle run failed\n");
        return 1;
    }
    const double peak = std::max(window.maxRssMiB, idle.maxRssMiB);

    std::printf(
        "start to first paint: median %.1f ms, min %.1f, max %.1f over %d starts "
        "(target < %.0f ms: %s)\n",
        median, window.ms.front(), window.ms.back(), runs, kFirstPaintTargetMs,
        Verdict(median, kFirstPaintTargetMs));
    if (floor) {
        std::printf(
            "floor, a bare Qt 6 program with the same form: median %.1f ms, min %.1f, max %.1f "
            "over %d starts; window minus floor: %+.1f ms\n",
            bare.median(), bare.ms.front(), bare.ms.back(), runs, median - bare.median());
    }
    std::printf(
        "peak memory: %.1f MiB resident through a search window and %d s idle "
        "(target < %.0f MiB: %s)\n",
        peak, idleSeconds, kPeakMemoryTargetMiB, Verdict(peak, kPeakMemoryTargetMiB));
    std::printf(
        "idle CPU between search windows: %.3f%% of a core over %d s "
        "(target < %.1f%%: %s)\n",
        idleCpu, idleSeconds, kIdleCpuTargetPercent, Verdict(idleCpu, kIdleCpuTargetPercent));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child-start") == 0) {
        return RunStartChild(argc, argv, std::atof(argv[2]));
    }
    if (argc >= 3 && std::strcmp(argv[1], "--child-idle") == 0) {
        return RunIdleChild(argc, argv, std::atoi(argv[2]));
    }
    int runs = 10;
    int idleSeconds = 20;
    const char* floor = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--idle-seconds") == 0) {
            idleSeconds = std::max(1, std::atoi(argv[i + 1]));
        }
        if (std::strcmp(argv[i], "--floor") == 0) floor = argv[i + 1];
    }
    return RunDriver("/proc/self/exe", floor, runs, idleSeconds);
}

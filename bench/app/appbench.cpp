// Start-up and idle cost of the desktop window, measured on the real platform (Xvfb in the
// benchmark script). The driver starts itself as a child for each measurement, so that every
// figure includes loading the program and Qt, as a user's start does.
//
//   nasfinder_app_bench [--runs N] [--idle-seconds S]
//
// Figures: time from the fork to the end of the window's first paint (median of N starts),
// peak resident memory of a run through a whole search window and an idle spell, and the CPU
// used while idle between search windows.

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
#include <time.h>
#include <unistd.h>

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

double MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Reports the end of the first paint of any widget of the window: a zero timer started during
// the paint runs once the whole window has been painted and flushed.
class FirstPaintWatch : public QObject {
public:
    explicit FirstPaintWatch(double startMs) : startMs(startMs) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            seen = true;
            QTimer::singleShot(0, [this] {
                std::printf("first-paint-ms %.1f\n", MonotonicMs() - startMs);
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    double startMs;
    bool seen = false;
};

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

// Runs this program with args, its standard output captured and its standard error dropped
// (the window's console lines).
ChildResult RunChild(const char* self, std::vector<std::string> args) {
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
        std::vector<char*> argv{const_cast<char*>(self)};
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(self, argv.data());
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

int RunDriver(const char* self, int runs, int idleSeconds) {
    std::vector<double> paints;
    double startRss = 0;
    for (int run = 0; run < runs; ++run) {
        const ChildResult child = RunChild(self, {"--child-start", "@now"});
        const double paint = Figure(child.output, "first-paint-ms");
        if (!child.ok || paint < 0) {
            std::fprintf(stderr, "bench: start run %d failed (is DISPLAY set?)\n", run + 1);
            return 1;
        }
        paints.push_back(paint);
        startRss = std::max(startRss, child.maxRssMiB);
    }
    std::sort(paints.begin(), paints.end());
    const double median = paints[paints.size() / 2];

    const ChildResult idle = RunChild(self, {"--child-idle", std::to_string(idleSeconds)});
    const double idleCpu = Figure(idle.output, "idle-cpu-percent");
    if (!idle.ok || idleCpu < 0) {
        std::fprintf(stderr, "bench: idle run failed\n");
        return 1;
    }
    const double peak = std::max(startRss, idle.maxRssMiB);

    std::printf(
        "start to first paint: median %.1f ms, min %.1f, max %.1f over %d starts "
        "(target < %.0f ms: %s)\n",
        median, paints.front(), paints.back(), runs, kFirstPaintTargetMs,
        Verdict(median, kFirstPaintTargetMs));
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
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--idle-seconds") == 0) {
            idleSeconds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    return RunDriver("/proc/self/exe", runs, idleSeconds);
}

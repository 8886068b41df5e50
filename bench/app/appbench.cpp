// Start-up and idle cost of the desktop window, measured on the real platform (Xvfb in the
// benchmark script). The driver starts itself as a child for each measurement, so that every
// figure includes loading the program and Qt, as a user's start does.
//
//   nasfinder_app_bench [--runs N] [--idle-seconds S] [--floor NASFINDER_FLOOR_BENCH]
//                       [--name-target-config XDG_CONFIG_HOME]
//
// Figures: time from the fork to the end of the window's first paint (median of N starts),
// beside the same time for the floor, a bare Qt program with the same form, started alternately
// with the window so that both see the same machine; with --name-target-config, the same for a
// window whose settings there keep a host name as a search target (run-app-bench.sh gives it a
// name server that never answers); peak resident memory of a run through a whole search window
// and an idle spell; and the CPU used, the timer events received and the main thread's wake-ups
// while idle between search windows.

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
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
#include "src/app/searchsession.h"
#include "src/app/searchtargetlist.h"

namespace {

constexpr double kFirstPaintTargetMs = 150.0;
constexpr double kPeakMemoryTargetMiB = 40.0;
constexpr double kIdleCpuTargetPercent = 0.5;
// With nothing to do, the window's own timers do not wake it at all.
constexpr double kIdleTimerEventsTarget = 0;
// The search window is 11 ticks; the 12th enables the buttons and the window is idle after it.
constexpr int kSearchWindowMs = 12500;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The main thread's context switches so far (/proc): voluntary ones, one each time it waited
// for something (so one for each wake-up after), and involuntary ones.
struct Switches {
    long voluntary = 0;
    long involuntary = 0;
};

Switches MainThreadSwitches() {
    std::ifstream status("/proc/self/task/" + std::to_string(getpid()) + "/status");
    Switches switches;
    for (std::string line; std::getline(status, line);) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const long value = std::atol(line.c_str() + colon + 1);
        if (line.compare(0, colon, "voluntary_ctxt_switches") == 0) switches.voluntary = value;
        if (line.compare(0, colon, "nonvoluntary_ctxt_switches") == 0) switches.involuntary = value;
    }
    return switches;
}

// Installed on the application of the idle child (main thread): counts the timer events that
// reach the main thread's objects, but for the benchmark's own, names their receivers, and
// counts apart those of the window's own timers: a receiver of one of the program's classes, or
// a timer that one of them holds (Qt's classes alone begin with a Q).
class TimerEventCount : public QObject {
public:
    explicit TimerEventCount(const QObject* bench) : bench(bench) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Timer || watched == bench) return false;
        ++count;
        const std::string receiver = watched->metaObject()->className();
        const QObject* parent = watched->parent();
        const std::string holder = parent ? parent->metaObject()->className() : "";
        if (receiver[0] != 'Q' || (!holder.empty() && holder[0] != 'Q')) ++windows;
        receivers.insert(holder.empty() ? receiver : receiver + " of " + holder);
        return false;
    }

    int count = 0;
    int windows = 0;
    std::set<std::string> receivers;

private:
    const QObject* bench;
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
    // Whether kept host names were still being looked up when the window was painted.
    FirstPaintWatch watch(startMs, [&app] {
        int resolving = 0;
        for (const SearchTargetList::Line& line :
             app.window->controller()->searchSession().targets().keptLines()) {
            if (line.state == SearchTargetList::Line::State::Resolving) ++resolving;
        }
        std::printf("targets-resolving %d\n", resolving);
    });
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
    Switches idleStartSwitches;
    QTimer end;
    end.setSingleShot(true);
    TimerEventCount timers(&end);
    // The idle spell starts once the search window has ended and the countdown rests.
    std::function<void()> startIdle = [&] {
        if (app.window->controller()->searchTimer()->isActive()) {
            QTimer::singleShot(500, startIdle);
            return;
        }
        idleStartCpu = CpuSeconds();
        idleStartMs = MonotonicMs();
        idleStartSwitches = MainThreadSwitches();
        app.application.installEventFilter(&timers);
        end.start(idleSeconds * 1000);
    };
    QTimer::singleShot(kSearchWindowMs, startIdle);
    QObject::connect(&end, &QTimer::timeout, [&] {
        const Switches switches = MainThreadSwitches();
        const double cpu = CpuSeconds() - idleStartCpu;
        const double wall = (MonotonicMs() - idleStartMs) / 1e3;
        std::string receivers;
        for (const std::string& receiver : timers.receivers) {
            receivers += (receivers.empty() ? "" : ", ") + receiver;
        }
        std::printf("idle-cpu-percent %.3f\n", 100.0 * cpu / wall);
        std::printf("idle-timer-events %d\n", timers.count);
        std::printf("idle-window-timer-events %d\n", timers.windows);
        // The last wait ended with the benchmark's own timer: that wake-up is not the window's.
        std::printf("idle-wakeups %ld\n", switches.voluntary - idleStartSwitches.voluntary - 1);
        std::printf("idle-involuntary-switches %ld\n",
                    switches.involuntary - idleStartSwitches.involuntary);
        std::printf("idle-timer-receivers %s\n", receivers.empty() ? "none" : receivers.c_str());
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
// window's console lines); with configHome, its settings are those in that folder.
ChildResult RunChild(const char* program, std::vector<std::string> args,
                     const char* configHome = nullptr) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const std::string start = std::to_string(MonotonicMs());
    for (std::string& arg : args) {
        if (arg == "@now") arg = start;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (configHome) setenv("XDG_CONFIG_HOME", configHome, 1);
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

// The rest of the line that starts with name, or "?".
std::string Text(const std::string& output, const char* name) {
    const std::size_t at = output.find(std::string(name) + " ");
    if (at == std::string::npos) return "?";
    const std::size_t from = at + std::strlen(name) + 1;
    return output.substr(from, output.find('\n', from) - from);
}

const char* Verdict(double value, double target) {
    return value < target ? "within" : "OVER";
}

// One program's first paints over the runs, the most memory a start took, and in how many
// starts kept host names were still being looked up at the paint.
struct Paints {
    std::vector<double> ms;
    double maxRssMiB = 0;
    int resolving = 0;
    double median() const { return ms[ms.size() / 2]; }
};

bool StartOnce(const char* program, Paints& paints, const char* configHome = nullptr) {
    const ChildResult child = RunChild(program, {"--child-start", "@now"}, configHome);
    const double paint = Figure(child.output, "first-paint-ms");
    if (!child.ok || paint < 0) return false;
    paints.ms.push_back(paint);
    paints.maxRssMiB = std::max(paints.maxRssMiB, child.maxRssMiB);
    if (Figure(child.output, "targets-resolving") > 0) ++paints.resolving;
    return true;
}

int RunDriver(const char* self, const char* floor, const char* nameTargetConfig, int runs,
              int idleSeconds) {
    Paints window;
    Paints bare;
    Paints named;
    for (int run = 0; run < runs; ++run) {
        if (!StartOnce(self, window) || (floor && !StartOnce(floor, bare)) ||
            (nameTargetConfig && !StartOnce(self, named, nameTargetConfig))) {
            std::fprintf(stderr, "bench: start run %d failed (is DISPLAY set?)\n", run + 1);
            return 1;
        }
    }
    std::sort(window.ms.begin(), window.ms.end());
    std::sort(bare.ms.begin(), bare.ms.end());
    std::sort(named.ms.begin(), named.ms.end());
    const double median = window.median();

    const ChildResult idle = RunChild(self, {"--child-idle", std::to_string(idleSeconds)});
    const double idleCpu = Figure(idle.output, "idle-cpu-percent");
    const double idleTimers = Figure(idle.output, "idle-timer-events");
    const double windowTimers = Figure(idle.output, "idle-window-timer-events");
    const double idleWakeups = Figure(idle.output, "idle-wakeups");
    const double idleInvoluntary = Figure(idle.output, "idle-involuntary-switches");
    const std::string receivers = Text(idle.output, "idle-timer-receivers");
    if (!idle.ok || idleCpu < 0 || idleTimers < 0) {
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
    if (nameTargetConfig) {
        std::printf(
            "start to first paint with a host name kept as a search target: median %.1f ms, "
            "min %.1f, max %.1f over %d starts, the name still being looked up at the paint in "
            "%d; window with the name minus window: %+.1f ms (target < %.0f ms: %s)\n",
            named.median(), named.ms.front(), named.ms.back(), runs, named.resolving,
            named.median() - median, kFirstPaintTargetMs,
            Verdict(named.median(), kFirstPaintTargetMs));
    }
    std::printf(
        "peak memory: %.1f MiB resident through a search window and %d s idle "
        "(target < %.0f MiB: %s)\n",
        peak, idleSeconds, kPeakMemoryTargetMiB, Verdict(peak, kPeakMemoryTargetMiB));
    std::printf(
        "idle CPU between search windows: %.3f%% of a core over %d s "
        "(target < %.1f%%: %s)\n",
        idleCpu, idleSeconds, kIdleCpuTargetPercent, Verdict(idleCpu, kIdleCpuTargetPercent));
    std::printf(
        "idle wake-ups between search windows over %d s: %.0f timer events from the window's "
        "own timers (%.2f a second; target %.0f: %s), %.0f in all (from %s); main-thread "
        "wake-ups %.0f (%.2f a second), preemptions %.0f\n",
        idleSeconds, windowTimers, windowTimers / idleSeconds, kIdleTimerEventsTarget,
        windowTimers <= kIdleTimerEventsTarget ? "within" : "OVER", idleTimers, receivers.c_str(),
        idleWakeups, idleWakeups / idleSeconds, idleInvoluntary);
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
    const char* nameTargetConfig = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--idle-seconds") == 0) {
            idleSeconds = std::max(1, std::atoi(argv[i + 1]));
        }
        if (std::strcmp(argv[i], "--floor") == 0) floor = argv[i + 1];
        if (std::strcmp(argv[i], "--name-target-config") == 0) nameTargetConfig = argv[i + 1];
    }
    return RunDriver("/proc/self/exe", floor, nameTargetConfig, runs, idleSeconds);
}

// Runs a command and prints its CPU time and peak memory on one line, to the file named first:
//   lab_rusage OUTFILE COMMAND [ARGS...]   ->   "<user µs> <system µs> <peak RSS KiB>"
// wait4 gives microseconds; /usr/bin/time rounds CPU time to 10 ms, too coarse here.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: lab_rusage OUTFILE COMMAND [ARGS...]\n");
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("lab_rusage: fork");
        return 1;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror("lab_rusage: exec");
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("lab_rusage: wait4");
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror("lab_rusage: output file");
        return 1;
    }
    const long long user = usage.ru_utime.tv_sec * 1000000LL + usage.ru_utime.tv_usec;
    const long long system = usage.ru_stime.tv_sec * 1000000LL + usage.ru_stime.tv_usec;
    std::fprintf(out, "%lld %lld %ld\n", user, system, usage.ru_maxrss);
    std::fclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

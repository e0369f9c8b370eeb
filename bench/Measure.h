#pragma once

// What the benchmarks measure with: medians, resident memory and its peak,
// processor time, a measurement in a child process of its own.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace tornyx::bench {

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
inline long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + key.size());
    return -1;
}

// Starts a new peak: the kernel's high-water mark is set to the present.
inline void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Runs self with the arguments in a child process and reads the "key value"
// lines it prints; *peakKb gets the child's peak resident memory.
inline std::map<std::string, double> runChild(const char* self, const std::vector<std::string>& args,
                                              long* peakKb) {
    std::map<std::string, double> out;
    int fds[2];
    if (pipe(fds) != 0)
        return out;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        std::vector<char*> argv{const_cast<char*>(self)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(self, argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, n);
    close(fds[0]);
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    *peakKb = u.ru_maxrss;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        const std::string l = text.substr(pos, nl - pos);
        const size_t sp = l.find(' ');
        if (sp != std::string::npos)
            out[l.substr(0, sp)] = std::stod(l.substr(sp + 1));
        pos = nl == std::string::npos ? text.size() : nl + 1;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "child %s failed (%d)\n", args.size() > 1 ? args[1].c_str() : "", status);
    return out;
}

inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace tornyx::bench

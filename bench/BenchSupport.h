#pragma once

// What the editor benchmarks share: child processes that report "key value"
// lines (so that each measurement has its own peak memory), timers; medians
// and memory come from Measure.h.

#include "Measure.h"
#include "editor/DocumentFile.h"

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tornyx::bench {

// Answers every question of the document reading with Yes.
struct NoQuestions : DocumentHost {
    bool warningYesNo(const QString&) override { return true; }
    void warningYes(const QString&) override {}
};

inline double seconds(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e9;
}

inline long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

inline void settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// Runs `self child args...`, returns the "key value" lines it printed and
// its peak resident memory in KB.
inline std::map<std::string, double> runChild(const char* self, const std::vector<std::string>& args,
                                              long* peak) {
    std::map<std::string, double> out;
    int fds[2];
    if (pipe(fds) != 0)
        return out;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        std::vector<char*> argv{const_cast<char*>(self), const_cast<char*>("child")};
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
    *peak = u.ru_maxrss;
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
        std::fprintf(stderr, "child %s failed (%d)\n", args.empty() ? "" : args[0].c_str(), status);
    return out;
}

} // namespace tornyx::bench

#pragma once

// The generated NC text the document and split benchmarks work on, and the
// child-process plumbing that gives each measurement its own peak memory.

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QString>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tornyx::bench {

// CAM-like output of about targetBytes, Shift-JIS with CR LF: programs of
// blocksPerProgram blocks, each with a Shift-JIS header comment, and tool
// changes with Japanese comments every 5000 blocks. "%" lines at both ends.
inline QByteArray generateNcText(qint64 targetBytes, int blocksPerProgram) {
    const QByteArray toolComment = platform::toSjis(QString::fromUtf16(u"(ﾂｰﾙ交換 T05 φ10 ｴﾝﾄﾞﾐﾙ)"));
    const QByteArray header = platform::toSjis(QString::fromUtf16(u"(加工ﾌﾟﾛｸﾞﾗﾑ 荒加工 ﾜｰｸ座標 G54)"));
    QByteArray out;
    out.reserve(targetBytes + 1000);
    out += "%\r\n";
    int program = 0;
    int n = 0;
    char line[96];
    while (out.size() < targetBytes) {
        if (n % blocksPerProgram == 0) {
            if (program > 0)
                out += "M30\r\n";
            ++program;
            out += "O" + QByteArray::number(1000 + program).rightJustified(4, '0') + header + "\r\n";
        }
        if (n % 5000 == 0)
            out += toolComment + "\r\nT05 M06\r\n";
        const int len = std::snprintf(line, sizeof line, "N%06d G01 X%.3f Y%.3f Z-%.3f F1200\r\n",
                                      n % 1000000, (n % 7919) * 0.137, (n % 6007) * 0.071, (n % 97) * 0.01);
        out.append(line, len);
        ++n;
    }
    out += "M30\r\n%\r\n";
    return out;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Runs self with the arguments in a child process and reads its "key value"
// lines; *peakKb gets the child's peak resident memory.
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
        std::fprintf(stderr, "child %s failed (%d)\n", args.empty() ? "" : args[1].c_str(), status);
    return out;
}

} // namespace tornyx::bench

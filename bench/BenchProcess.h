#pragma once
// The program under measurement seen from outside: the display file it
// follows, written as a writer does, and its figures in /proc.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace bench {

// A results file whose first row names its version ("TIME: V000042").
inline std::string resultsFile(int version)
{
    char head[64];
    std::snprintf(head, sizeof head, "TIME: V%06d\r\n", version);
    std::string out = head;
    for (int i = 1; i < 12; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%2d  SWIMMER OF THE TEAM %02d   %7.4f\r\n", i, i, 80.0 + (version % 97) / 10.0);
        out += line;
    }
    return out;
}

inline bool writeClose(const std::string &path, const std::string &text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

inline std::string procFile(long long pid, const char *name)
{
    std::string out;
    if (FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/" + name).c_str(), "r")) {
        char buf[4096];
        while (const std::size_t n = std::fread(buf, 1, sizeof buf, f))
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

// utime + stime of a process, in seconds.
inline double processCpu(long long pid)
{
    const std::string stat = procFile(pid, "stat");
    // Fields after the command name, which ends with the last ')'.
    const std::size_t p = stat.rfind(')');
    unsigned long utime = 0, stime = 0;
    if (p == std::string::npos
        || std::sscanf(stat.c_str() + p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return 0;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "Name:  123 kB" field of /proc/PID/status (or of another such file).
inline long processKb(long long pid, const char *field, const char *file = "status")
{
    const std::string text = procFile(pid, file);
    const std::string key = std::string("\n") + field + ":";
    const std::size_t at = ("\n" + text).find(key);
    return at == std::string::npos ? 0 : std::atol(text.c_str() + at + key.size() - 1);
}

// Nanoseconds one thread of a process has run on a processor.
inline long long threadRunNs(long long pid, long long tid)
{
    const std::string path = "task/" + std::to_string(tid) + "/schedstat";
    return std::atoll(procFile(pid, path.c_str()).c_str());
}

} // namespace bench

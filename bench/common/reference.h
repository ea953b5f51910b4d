// What every throughput benchmark shares: ffmpeg decoding the same file as the reference
// (its decode loop and its whole command, timed in the same run), the commit measured, and
// the median and spread of the ratios of several runs, checked against their goals.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef ORVANE_SOURCE_DIR
#define ORVANE_SOURCE_DIR "."
#endif

namespace benchref {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ffmpeg decoding a file to nothing: the real time of its decode loop as its -benchmark
// report gives it (start-up and probing not counted), and the wall time of the whole
// command. Both are zero when ffmpeg fails.
struct FfmpegTimes {
    double loop = 0;
    double command = 0;
    bool ok() const { return loop > 0 && command > 0; }
};

// `threads` 0 leaves ffmpeg's own choice (as a decoder given 0 threads makes it);
// `outputOptions` go before the output (say, "-pix_fmt bgra" to convert every frame too).
inline FfmpegTimes ffmpegDecode(const std::string &path, int threads,
                                const std::string &outputOptions = {}) {
    std::string cmd = "ffmpeg -nostdin -hide_banner -nostats -benchmark";
    if (threads > 0)
        cmd += " -threads " + std::to_string(threads);
    cmd += " -i '" + path + "' -map 0:v:0 " + outputOptions + " -f null - 2>&1";
    const auto start = Clock::now();
    FILE *pipe = popen(cmd.c_str(), "r");
    if (!pipe)
        return {};
    double loop = 0;
    char line[512];
    while (std::fgets(line, sizeof line, pipe))
        if (const char *at = std::strstr(line, "rtime="))
            loop = std::atof(at + 6);
    const bool exited = pclose(pipe) == 0;
    const double wall = secondsSince(start);
    if (!exited || loop <= 0)
        return {};
    return {loop, wall};
}

// The commit of the source tree the benchmark was built from, marked when the tree has
// changes not committed (figures then belong to no commit).
inline std::string measuredCommit() {
    const std::string git = std::string("git -C '") + ORVANE_SOURCE_DIR + "' ";
    auto output = [](const std::string &cmd) {
        std::string text;
        if (FILE *pipe = popen((cmd + " 2>/dev/null").c_str(), "r")) {
            char buf[256];
            while (std::fgets(buf, sizeof buf, pipe))
                text += buf;
            pclose(pipe);
        }
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        return text;
    };
    std::string commit = output(git + "rev-parse --short=12 HEAD");
    if (commit.empty())
        return "unknown (not a git checkout)";
    if (!output(git + "status --porcelain --untracked-files=no").empty())
        commit += " with uncommitted changes";
    return commit;
}

// Ratios of several runs (the machine's load changes between runs, so each run gives its
// own ratio), summed up as median and spread, and checked against a goal: a median more
// than 20% below its goal is a regression. A cost (lower is better) has a ceiling instead:
// a median more than 20% above it is a regression.
class Goals {
public:
    void add(const std::string &name, double goal, std::vector<double> ratios) {
        m_rows.push_back({name, goal, std::move(ratios), false});
    }
    void addCeiling(const std::string &name, double ceiling, std::vector<double> ratios) {
        m_rows.push_back({name, ceiling, std::move(ratios), true});
    }

    static double median(std::vector<double> v) {
        if (v.empty())
            return 0;
        std::sort(v.begin(), v.end());
        const std::size_t m = v.size() / 2;
        return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
    }

    // Prints the table; false when a ratio is more than 20% below its goal.
    bool report() const {
        bool pass = true;
        std::printf("\n%-58s %6s %13s %6s %s\n", "ratio (measured / reference)", "median", "spread",
                    "goal", "");
        for (const Row &r : m_rows) {
            const double med = median(r.ratios);
            const auto [lo, hi] = std::minmax_element(r.ratios.begin(), r.ratios.end());
            const bool met = r.ceiling ? med <= r.goal : med >= r.goal;
            const bool regressed =
                r.goal > 0 && (r.ceiling ? med > 1.2 * r.goal : med < 0.8 * r.goal);
            pass = pass && !regressed;
            char spread[32] = "-";
            if (!r.ratios.empty())
                std::snprintf(spread, sizeof spread, "%.2f-%.2f", *lo, *hi);
            std::printf("%-58s %6.2f %13s %s%5.2f %s\n", r.name.c_str(), med, spread,
                        r.ceiling ? "<=" : "  ", r.goal,
                        r.goal <= 0 ? ""
                        : regressed ? (r.ceiling ? "REGRESSED (more than 20% above the goal)"
                                                 : "REGRESSED (more than 20% below the goal)")
                        : met       ? "met"
                                    : (r.ceiling ? "above the goal" : "below the goal"));
        }
        return pass;
    }

private:
    struct Row {
        std::string name;
        double goal; // 0: shown, not checked
        std::vector<double> ratios;
        bool ceiling; // the goal is an upper bound
    };
    std::vector<Row> m_rows;
};

} // namespace benchref

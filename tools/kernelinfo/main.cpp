// Prints what the kernel library answers about this machine, selector by selector.
#include "kernel/vexcore.h"

#include <cstdio>

int main() {
    struct Question {
        platform::LONG selector;
        const char *what;
        bool text;
    };
    static constexpr Question kQuestions[] = {
        {1, "program version, minor", false},
        {2, "program version, build", false},
        {3, "program version, revision", false},
        {40, "operating system", true},
        {41, "Direct3D generation (graphics stack)", true},
        {42, "Internet Explorer version", true},
        {50, "Data Translation data-acquisition library", true},
        {51, "National Instruments data-acquisition driver", true},
    };
    std::printf("%-8s %-46s %-7s %-8s %s\n", "selector", "question", "status", "result", "text");
    for (const auto &q : kQuestions) {
        platform::LONG result = -1;
        char text[128] = "";
        const platform::LONG status = KernelInfo(q.selector, &result, q.text ? text : nullptr);
        std::printf("%-8d %-46s %-7d %-8d %s\n", q.selector, q.what, status, result,
                    q.text ? (text[0] ? text : "(empty)") : "-");
    }
    return 0;
}

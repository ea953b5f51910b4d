// The environment a test executable runs with, set before anything else runs: the variables
// its CMake registration names (ORVANE_TEST_ENV, "NAME=value" pairs separated by '|'), and,
// in sanitizer builds, the sanitizers' options, which must be known before main.
#include <cstdlib>
#include <string>

namespace {

__attribute__((constructor)) void applyTestEnvironment() {
    const std::string pairs = ORVANE_TEST_ENV;
    std::size_t start = 0;
    while (start < pairs.size()) {
        std::size_t end = pairs.find('|', start);
        if (end == std::string::npos)
            end = pairs.size();
        const std::string pair = pairs.substr(start, end - start);
        if (const std::size_t eq = pair.find('='); eq != std::string::npos && eq > 0)
            ::setenv(pair.substr(0, eq).c_str(), pair.substr(eq + 1).c_str(), 1);
        start = end + 1;
    }
}

} // namespace

// Read by the sanitizer runtimes when the build uses them; ignored otherwise.
extern "C" const char *__asan_default_options() {
    return "detect_leaks=1:abort_on_error=0";
}
extern "C" const char *__ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

// Helpers of the settings-file tests: a FIFO that cannot hang a test, and writers that run as
// separate processes, some of them as a second user.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace filetest {

// The second user of the two-user tests.
inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNogroup = 65534;

inline bool canSwitchUser() {
    return ::geteuid() == 0;
}

// A FIFO with a writer waiting to meet one reader. Code that opens it to read, which without a
// writer would wait for ever, meets this writer, gets `payload` and an end of file: a
// regression shows as a wrong answer instead of a hung test. One reader only: a writer that
// came back for a second one could meet the first again before it saw the end of the file,
// and feed it for ever. The writer reaches the FIFO through an O_PATH descriptor, so a rename
// over its name cannot send it elsewhere; the destructor meets a writer nobody met.
class FifoFeeder {
public:
    FifoFeeder(const std::filesystem::path &path, std::string payload) {
        if (::mkfifo(path.c_str(), 0666) != 0) {
            ADD_FAILURE() << "mkfifo " << path;
            return;
        }
        m_handle = ::open(path.c_str(), O_PATH | O_CLOEXEC);
        m_via = "/proc/self/fd/" + std::to_string(m_handle);
        m_writer = std::thread([via = m_via, payload = std::move(payload)] {
            // A reader that leaves early makes the write fail with EPIPE, not kill the test.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            const int fd = ::open(via.c_str(), O_WRONLY | O_CLOEXEC); // waits for a reader
            if (fd >= 0) {
                [[maybe_unused]] const auto n = ::write(fd, payload.data(), payload.size());
                ::close(fd);
            }
        });
    }
    ~FifoFeeder() {
        if (m_handle < 0)
            return;
        const int reader = ::open(m_via.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_writer.join();
        if (reader >= 0)
            ::close(reader);
        ::close(m_handle);
    }
    FifoFeeder(const FifoFeeder &) = delete;
    FifoFeeder &operator=(const FifoFeeder &) = delete;

private:
    int m_handle = -1;
    std::string m_via;
    std::thread m_writer;
};

inline bool isFifo(const std::filesystem::path &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

enum class Users { Self, Other, Alternate };

// Runs `writers` processes that start together and each call work(index); as the user of the
// test (Self), as nobody (Other, root only), or every second one as nobody (Alternate).
// Returns the indexes of the writers that failed.
inline std::vector<int> runWriters(int writers, Users users, const std::function<bool(int)> &work) {
    int start[2];
    if (::pipe(start) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    std::vector<pid_t> children;
    for (int i = 0; i < writers; ++i) {
        const pid_t child = ::fork();
        if (child < 0) {
            ADD_FAILURE() << "fork";
            break;
        }
        if (child == 0) {
            ::close(start[1]);
            const bool other = users == Users::Other || (users == Users::Alternate && i % 2 == 1);
            if (other &&
                (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0))
                ::_exit(2);
            char go = 0;
            [[maybe_unused]] const auto n = ::read(start[0], &go, 1); // end of file: start
            ::_exit(work(i) ? 0 : 1);
        }
        children.push_back(child);
    }
    ::close(start[0]);
    ::close(start[1]);
    std::vector<int> failed;
    for (std::size_t i = 0; i < children.size(); ++i) {
        int status = 0;
        if (::waitpid(children[i], &status, 0) != children[i] || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            failed.push_back(static_cast<int>(i));
    }
    return failed;
}

} // namespace filetest

#include "RunCommand.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace pc {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);

class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawnattr_init(&attr_);
        posix_spawn_file_actions_init(&actions_);
        // Its own process group, so that an ended command takes its children (adb) with it.
        posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr_, 0);
        for (int fd : {0, 1, 2})
            posix_spawn_file_actions_addopen(&actions_, fd, "/dev/null",
                                             fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attr_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    const posix_spawnattr_t* attr() const { return &attr_; }
    const posix_spawn_file_actions_t* actions() const { return &actions_; }

  private:
    posix_spawnattr_t attr_;
    posix_spawn_file_actions_t actions_;
};

}  // namespace

int RunCommand(std::string_view commandLine, std::uint16_t, const CommandWait& wait) {
    if (commandLine.size() > kMaxCommandLine) return -1;
    const std::string line(commandLine);
    char sh[] = "/bin/sh", dashC[] = "-c";
    char* argv[] = {sh, dashC, const_cast<char*>(line.c_str()), nullptr};
    SpawnSetup setup;
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", setup.actions(), setup.attr(), argv, environ) != 0) return -1;

    const auto deadline = std::chrono::steady_clock::now() + wait.limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0) return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        if (wait.whileWaiting) wait.whileWaiting();
        std::this_thread::sleep_for(kPoll);
    }
}

}  // namespace pc

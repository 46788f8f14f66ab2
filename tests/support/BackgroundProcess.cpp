#include "support/BackgroundProcess.h"

#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace lumenarc::test {
namespace {

std::string tempFile(const char* stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / stem).string() + "-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) {
        close(fd);
    }
    return pattern;
}

int spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const std::string& out, const std::string& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_TRUNC, 0600);
    auto args = argv;
    auto envStrings = mergedEnvironment(env);
    std::vector<char*> argp, envp;
    for (auto& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    for (auto& e : envStrings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

} // namespace

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::map<std::string, std::string>& env)
    : m_outPath(tempFile("lumenarc-out")), m_errPath(tempFile("lumenarc-err")) {
    m_pid = spawn(argv, env, m_outPath, m_errPath);
}

BackgroundProcess::~BackgroundProcess() {
    if (m_pid > 0 && !m_exited) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    std::remove(m_outPath.c_str());
    std::remove(m_errPath.c_str());
}

bool BackgroundProcess::running() {
    if (m_pid <= 0 || m_exited) {
        return false;
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_exited = true;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    return true;
}

void BackgroundProcess::signal(int signalNumber) {
    if (running()) {
        kill(m_pid, signalNumber);
    }
}

int BackgroundProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_status;
}

std::string BackgroundProcess::output() const {
    return readFile(m_outPath);
}
std::string BackgroundProcess::errors() const {
    return readFile(m_errPath);
}

XvfbServer::XvfbServer(int width, int height, int secondWidth, int secondHeight) {
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> args{"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                  "-screen",   "0",          screen,
                                  "-nolisten", "tcp",        "-noreset"};
    if (secondWidth > 0 && secondHeight > 0) {
        args.insert(args.end(),
                    {"-screen", "1",
                     std::to_string(secondWidth) + "x" + std::to_string(secondHeight) + "x24"});
    }
    std::vector<char*> argp;
    for (auto& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argp.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return;
    }
    m_pid = pid;
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (!number.empty()) {
        m_display = ":" + number;
    }
}

XvfbServer::~XvfbServer() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

std::map<std::string, std::string> XvfbServer::environment() const {
    return {{"DISPLAY", m_display}, {"QT_QPA_PLATFORM", "xcb"}, {"XAUTHORITY", "/dev/null"}};
}

std::string XvfbServer::run(const std::vector<std::string>& argv) const {
    ProcessOptions options;
    options.env = environment();
    options.timeout = std::chrono::seconds(20);
    const auto result = runProcess(argv, options);
    return result.exitCode == 0 ? result.out : "";
}

std::string XvfbServer::waitForWindow(const std::string& name,
                                      std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto found = run({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", name});
        if (!found.empty()) {
            return found.substr(0, found.find('\n'));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

bool XvfbServer::waitForWindowGone(const std::string& name,
                                   std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (run({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", name}).empty()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

XvfbServer::Shot XvfbServer::screenshot(const std::string& scratchFolder) const {
    Shot shot;
    const std::string file = scratchFolder + "/screen.rgba";
    // ImageMagick writes the raw pixels; the size comes from a second, tiny query.
    const auto size = run({"/usr/bin/xdpyinfo"});
    const auto dims = size.find("dimensions:");
    if (dims == std::string::npos ||
        std::sscanf(size.c_str() + dims, "dimensions: %dx%d", &shot.width, &shot.height) != 2) {
        return {};
    }
    run({"/usr/bin/import", "-silent", "-window", "root", "-depth", "8", "rgba:" + file});
    const auto bytes = readFile(file);
    if (bytes.size() != static_cast<size_t>(shot.width) * shot.height * 4) {
        return {};
    }
    shot.rgba.assign(bytes.begin(), bytes.end());
    return shot;
}

} // namespace lumenarc::test

#include "tests/support/ftp_fixture.h"

#include "tests/support/test_paths.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace TestSupport {

ScratchDir::ScratchDir(const std::string& tag)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = buf.data();
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

FtpFixture::FtpFixture(const FtpFixtureOptions& options) : options_(options)
{
    if (options_.root.empty())
        throw std::runtime_error("FtpFixture needs a root folder");
    readyFile_ = options_.root + ".ready-" + std::to_string(::getpid());
    std::filesystem::remove(readyFile_);

    std::vector<std::string> args;
    if (options_.kind == FtpServerKind::Vsftpd) {
        options_.user = "anonymous";
        args = {TestPaths::python(), TestPaths::sourceDir() + "/tests/fixtures/vsftpd_server.py", "--host", options_.host,
                "--root", options_.root, "--ready-file", readyFile_, "--idle", std::to_string(options_.idleSeconds),
                "--writable", options_.root + "/pub"};
        if (!options_.active)
            args.push_back("--no-active");
    } else {
        args = {TestPaths::python(), TestPaths::sourceDir() + "/tests/fixtures/ftpserver.py", "--host", options_.host,
                "--port", std::to_string(options_.port), "--root", options_.root, "--user", options_.user,
                "--password", options_.password, "--ready-file", readyFile_};
        if (options_.seed)
            args.push_back("--seed");
        if (!options_.disable.empty()) {
            args.push_back("--disable");
            args.push_back(options_.disable);
        }
        if (options_.throttle > 0) {
            args.push_back("--throttle");
            args.push_back(std::to_string(options_.throttle));
        }
        if (options_.tlsRequired)
            args.push_back("--tls-required");
    }
    if (!options_.tlsCert.empty()) {
        args.push_back("--tls");
        args.push_back(options_.tlsCert + "," + options_.tlsKey);
    }
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start the FTP fixture");
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(readyFile_)) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("the FTP fixture on " + options_.host + " exited before it was ready");
        }
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            throw std::runtime_error("the FTP fixture on " + options_.host + " did not start in time");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

FtpFixture::~FtpFixture() { stop(); }

void FtpFixture::stop() noexcept
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 250 && !ended; ++i) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                ended = true;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }
    std::error_code ec;
    std::filesystem::remove(readyFile_, ec);
}

} // namespace TestSupport

// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// Runs the execute_engine executable as a child process against a prefix of our own, so the
// tree it loads is chosen by the test and the real install stays untouched.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace
{

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kPackage[] = "velmarin_execute_engine";

constexpr char kSentinelTree[] = R"(
<root main_tree_to_execute="Main">
  <BehaviorTree ID="Main">
    <ReactiveFallback>
      <LocationSentinel/>
      <SweepSentinel/>
    </ReactiveFallback>
  </BehaviorTree>
</root>)";

// An install prefix that ament_index resolves the package to, with an optional tree file.
class FakePrefix
{
public:
  explicit FakePrefix(const std::string & label, bool registered = true)
  : root_(
      fs::temp_directory_path() /
      ("execute_engine_prefix_" + label + "_" + std::to_string(::getpid())))
  {
    fs::remove_all(root_);
    fs::create_directories(root_);
    if (!registered) {
      return;
    }
    fs::create_directories(root_ / "share/ament_index/resource_index/packages");
    std::ofstream(root_ / "share/ament_index/resource_index/packages" / kPackage);
    fs::create_directories(share() / "xml");
  }

  ~FakePrefix() { fs::remove_all(root_); }

  fs::path share() const { return root_ / "share" / kPackage; }
  fs::path tree() const { return share() / "xml/tree.xml"; }
  std::string path() const { return root_.string(); }

  void WriteTree(const std::string & content) const { std::ofstream(tree()) << content; }

private:
  fs::path root_;
};

// The executable with its standard output captured line by line.
class EngineProcess
{
public:
  explicit EngineProcess(const std::string & ament_prefix_path)
  {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::close(fds[0]);
      ::close(fds[1]);
      ::setenv("AMENT_PREFIX_PATH", ament_prefix_path.c_str(), 1);
      ::execl(EXECUTE_ENGINE_EXECUTABLE, EXECUTE_ENGINE_EXECUTABLE, static_cast<char *>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    out_fd_ = fds[0];
  }

  ~EngineProcess()
  {
    if (!exit_status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_fd_);
  }

  // Reads lines until one equals `line`; false if the output ends or the time runs out.
  bool WaitForLine(const std::string & line, std::chrono::milliseconds timeout)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
      for (; checked_ < lines_.size(); ++checked_) {
        if (lines_[checked_] == line) {
          ++checked_;
          return true;
        }
      }
      if (!ReadSome(deadline)) {
        return false;
      }
    }
  }

  // Waits for the process to end and reads the rest of its output.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exit_status_ && std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      ::usleep(5000);
    }
    if (exit_status_) {
      while (ReadSome(std::chrono::steady_clock::now() + 1s)) {
      }
    }
    return exit_status_;
  }

  // True once the main thread sleeps, as it does in the executor's wait once start-up is
  // complete (a few looks in a row, so a brief wait on a lock does not count); false after
  // `timeout`. Real Humble may hang on a signal that finds the main thread allocating.
  bool WaitUntilServing(std::chrono::milliseconds timeout) const
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (int asleep = 0; asleep < 3; asleep = MainThreadSleeps() ? asleep + 1 : 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        return false;
      }
      ::usleep(5000);
    }
    return true;
  }

  void Signal(int signal_number) { ::kill(pid_, signal_number); }
  const std::vector<std::string> & lines() const { return lines_; }

private:
  bool MainThreadSleeps() const
  {
    const std::string pid = std::to_string(pid_);
    std::string stat;
    std::getline(std::ifstream("/proc/" + pid + "/task/" + pid + "/stat"), stat);
    // "pid (name) state ...", where the name may hold blanks and parentheses.
    const size_t name_end = stat.rfind(')');
    return name_end != std::string::npos && name_end + 2 < stat.size() && stat[name_end + 2] == 'S';
  }

  bool ReadSome(std::chrono::steady_clock::time_point deadline)
  {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    pollfd descriptor{out_fd_, POLLIN, 0};
    if (::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
      return false;
    }
    char buffer[512];
    const ssize_t count = ::read(out_fd_, buffer, sizeof(buffer));
    if (count <= 0) {
      return false;
    }
    partial_.append(buffer, static_cast<size_t>(count));
    for (size_t end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
      lines_.push_back(partial_.substr(0, end));
      partial_.erase(0, end + 1);
    }
    return true;
  }

  pid_t pid_{-1};
  int out_fd_{-1};
  std::string partial_;
  std::vector<std::string> lines_;
  size_t checked_{0};
  std::optional<int> exit_status_;
};

TEST(ExecuteEngineProcess, StartsWithThreeProgressLinesAndStopsCleanlyOnSignals)
{
  FakePrefix prefix("normal");
  prefix.WriteTree(kSentinelTree);
  for (int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    EngineProcess process(prefix.path());
    ASSERT_TRUE(process.WaitForLine("after advertiseService", 30s));
    ASSERT_TRUE(process.WaitUntilServing(10s));
    process.Signal(signal_number);
    const auto status = process.WaitForExit(1s);
    ASSERT_TRUE(status.has_value()) << "still running a second after the signal";
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(
      process.lines(), (std::vector<std::string>{
                         "tree_path = " + prefix.tree().string(), "after global engine init",
                         "after advertiseService"}));
  }
}

// Start-up failures end with status 255 before the service, each with its reason before the
// closing line.
TEST(ExecuteEngineProcess, FailedStartUpEndsWithStatus255BeforeTheService)
{
  struct Row
  {
    bool registered;
    std::optional<std::string> tree;
    std::string reason;
  };
  const std::vector<Row> rows = {
    {false, std::nullopt, kPackage},
    {true, std::nullopt, "create behavior_tree failed: "},
    {true, "<root><BehaviorTree ID=\"Main\"><LocationSentinel/>", "create behavior_tree failed: "},
    {true, "<root><BehaviorTree ID=\"Main\"><NoSuchNode/></BehaviorTree></root>",
     "create behavior_tree failed: "},
  };
  for (const Row & row : rows) {
    SCOPED_TRACE(row.tree.value_or(row.registered ? "missing file" : "unregistered package"));
    FakePrefix prefix("broken", row.registered);
    if (row.tree) {
      prefix.WriteTree(*row.tree);
    }
    EngineProcess process(prefix.path());
    const auto status = process.WaitForExit(30s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 255);
    std::vector<std::string> lines = process.lines();
    if (row.registered) {
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.front(), "tree_path = " + prefix.tree().string());
      lines.erase(lines.begin());
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines.front().find(row.reason), std::string::npos) << lines.front();
    EXPECT_EQ(lines.back(), "execute engine init failed");
  }
}

}  // namespace

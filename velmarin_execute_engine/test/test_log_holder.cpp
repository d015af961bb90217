// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>
#include <spdlog/spdlog.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "common_util/log_holder.hpp"

namespace
{

namespace fs = std::filesystem;

std::string TodaySuffix()
{
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[16];
  std::strftime(buffer, sizeof(buffer), "_%Y-%m-%d", &local);
  return buffer;
}

std::string ReadFile(const fs::path & file)
{
  std::ifstream in(file);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

class LogHolderTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    dir_ =
      fs::temp_directory_path() / ("log_holder_test_" + std::to_string(::getpid()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }

  void TearDown() override
  {
    spdlog::drop_all();
    fs::remove_all(dir_);
  }

  fs::path LogFile(const std::string & base) const { return dir_ / (base + TodaySuffix()); }

  fs::path dir_;
};

// Runs first: the process-wide holder is still empty, so a log call must be a no-op.
TEST_F(LogHolderTest, MacrosDoNothingWithoutLoggerAndCarryCallSiteOnceSetUp)
{
  ASSERT_EQ(common_util::LogInstance()->GetLogger(), nullptr);
  EE_LOG_ERROR("dropped {}", 1);
  EE_LOG_DEBUG("dropped too");

  common_util::LogInstance()->InitLog((dir_ / "sub" / "engine_log").string(), 1, "macro_logger");
  ASSERT_NE(common_util::LogInstance()->GetLogger(), nullptr);
  const int line = __LINE__ + 1;
  EE_LOG_ERROR("model id:{} is not support current", -3);
  EE_LOG_DEBUG("Step into {}", "SlamWork");

  const std::string content = ReadFile(LogFile("sub/engine_log"));
  const std::regex error_line(
    R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[thread \d+\] \[macro_logger\] \[error\] )"
    R"(\[[^\]]*test_log_holder\.cpp:)" +
    std::to_string(line) + R"(\] model id:-3 is not support current\n)");
  EXPECT_TRUE(std::regex_search(content, error_line)) << content;
  EXPECT_NE(content.find("[debug]"), std::string::npos);
  EXPECT_NE(content.find("Step into SlamWork\n"), std::string::npos);
  EXPECT_EQ(content.find("dropped"), std::string::npos);
}

TEST_F(LogHolderTest, EmptyNameBecomesUnknowLevelFiltersAndARestartAppends)
{
  const std::string path = (dir_ / "log").string();
  {
    common_util::LogHolder first;
    first.InitLog(path, 4, "");
    ASSERT_EQ(first.GetLogger()->name(), "unknow");
    first.GetLogger()->debug("hidden");
    first.GetLogger()->error("before restart");
  }
  spdlog::drop("unknow");
  common_util::LogHolder second;
  second.InitLog(path, 1, "restart");
  second.GetLogger()->error("after restart");

  const std::string content = ReadFile(LogFile("log"));
  const auto before = content.find("[unknow] [error] [] before restart");
  ASSERT_NE(before, std::string::npos) << content;
  EXPECT_NE(content.find("after restart", before), std::string::npos);
  EXPECT_EQ(content.find("hidden"), std::string::npos);
}

TEST_F(LogHolderTest, FailuresAreReportedAndKeepTheHeldLogger)
{
  common_util::LogHolder holder;
  holder.InitLog((dir_ / "log").string(), 1, "taken");
  const auto first = holder.GetLogger();
  ASSERT_NE(first, nullptr);

  ::testing::internal::CaptureStdout();
  holder.InitLog((dir_ / "other").string(), 1, "taken");
  const std::string taken_output = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(taken_output.rfind("log initialization failed[", 0), 0u) << taken_output;
  EXPECT_EQ(holder.GetLogger(), first);

  // A directory that cannot be created: its parent is a plain file.
  fs::create_directories(dir_);
  std::ofstream(dir_ / "plain_file") << "x";
  common_util::LogHolder unwritable;
  ::testing::internal::CaptureStdout();
  unwritable.InitLog((dir_ / "plain_file" / "log").string(), 1, "unwritable");
  const std::string unwritable_output = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(unwritable_output.rfind("log initialization failed[", 0), 0u) << unwritable_output;
  EXPECT_EQ(unwritable.GetLogger(), nullptr);
}

}  // namespace

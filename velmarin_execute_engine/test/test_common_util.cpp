// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>
#include <spdlog/spdlog.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "common_util/log_holder.hpp"
#include "common_util/path_util.hpp"

namespace
{

using common_util::NormalizeAngle;
namespace fs = std::filesystem;

constexpr double kTwoPi = 6.283185307179586;

TEST(PathUtilTest, NormalizeAngleWrapsAsTurnByTurnDoesWhereThatEnds)
{
  // Below 64 + 2*pi every subtraction of a turn is exact; the wrap must match it bit for bit.
  const double bound = 64.0 + kTwoPi;
  std::vector<double> angles{-0.0};
  for (int turns = -11; turns <= 11; ++turns) {
    const double whole = turns * kTwoPi;
    angles.insert(
      angles.end(), {whole, std::nextafter(whole, -bound), std::nextafter(whole, bound)});
  }
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> within(-bound, bound);
  for (int i = 0; i < 100000; ++i) {
    angles.push_back(within(random));
  }
  // The wrap by definition: one turn at a time.
  const auto turn_by_turn = [](double angle) {
    while (std::fabs(angle) > kTwoPi) {
      angle -= std::copysign(kTwoPi, angle);
    }
    return angle;
  };
  for (const double angle : angles) {
    const double wrapped = NormalizeAngle(angle);
    ASSERT_TRUE(wrapped == turn_by_turn(angle) && std::signbit(wrapped) == std::signbit(angle))
      << angle;
  }
  // Beyond, turn by turn drifts and from about 1e17 on never ends; a whole number of turns must
  // still end a turn from zero, every wrap keep the sign, and no turn come out of no angle.
  EXPECT_EQ(NormalizeAngle(-std::ldexp(kTwoPi, 60)), -kTwoPi);
  EXPECT_LE(std::fabs(NormalizeAngle(-1e17)), kTwoPi);
  EXPECT_TRUE(std::signbit(NormalizeAngle(-1e17)));
  for (const double angle : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
    EXPECT_TRUE(std::isnan(NormalizeAngle(angle))) << angle;
  }
}

// The process-wide holder has no logger until this test sets one up; a second holder writes on
// into the same daily file.
TEST(LogHolderTest, WritesCallSitesFromItsLevelOnAndAppendsAcrossRestarts)
{
  const fs::path dir = fs::temp_directory_path() / ("log_holder_test_" + std::to_string(getpid()));
  const std::string base = (dir / "sub" / "log").string();
  ASSERT_EQ(common_util::LogInstance()->GetLogger(), nullptr);
  EE_LOG_ERROR("dropped {}", 1);
  common_util::LogInstance()->InitLog(base, 1, "");
  EE_LOG_ERROR("model id:{} is not support current", -3);
  EE_LOG_DEBUG("Step into {}", "SlamWork");
  common_util::LogHolder restarted;
  restarted.InitLog(base, 4, "restarted");
  restarted.GetLogger()->debug("hidden");
  restarted.GetLogger()->error("after restart");
  std::ifstream written(fs::directory_iterator(dir / "sub")->path());
  const std::regex expected(
    R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[thread \d+\] \[unknow\] \[error\] )"
    R"(\[[^\]]*test_common_util\.cpp:\d+\] model id:-3 is not support current\n.*\[debug\] \[[^\]]+\] Step into SlamWork\n)"
    R"(.*\[restarted\] \[error\] \[\] after restart\n$)");
  EXPECT_TRUE(
    std::regex_search(std::string(std::istreambuf_iterator<char>(written), {}), expected));

  spdlog::drop_all();
  fs::remove_all(dir);
}

}  // namespace

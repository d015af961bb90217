// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common_util/path_util.hpp"

namespace
{

using common_util::NormalizeAngle;

constexpr double kTwoPi = 6.283185307179586;

// The wrap by definition: one turn at a time.
double TurnByTurn(double angle)
{
  while (angle > kTwoPi) {
    angle -= kTwoPi;
  }
  while (angle < -kTwoPi) {
    angle += kTwoPi;
  }
  return angle;
}

TEST(NormalizeAngleTest, MatchesTurnByTurnWrappingBitForBitWithinElevenTurns)
{
  // Below 64 + 2*pi every subtraction of a turn is exact; the wrap must match it bit for bit.
  const double bound = 64.0 + kTwoPi;
  std::vector<double> angles{0.0, -0.0, 4.0, -6.3, 3 * M_PI, std::nextafter(bound, 0.0)};
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
  size_t mismatches = 0;
  for (const double angle : angles) {
    const double expected = TurnByTurn(angle);
    const double wrapped = NormalizeAngle(angle);
    if (wrapped != expected || std::signbit(wrapped) != std::signbit(expected)) {
      ADD_FAILURE() << std::setprecision(17) << angle << " gives " << wrapped << ", not "
                    << expected;
      ASSERT_LT(++mismatches, 5u);
    }
  }
}

TEST(NormalizeAngleTest, WrapsHugeAnglesIntoOneTurnOfTheSameSignAndNonFiniteOnesToNaN)
{
  // Beyond, the turn-by-turn wrap drifts by its rounding; from about 1e17 on it never ends, and
  // a whole number of turns must still end a turn from zero.
  const double whole_turns = std::ldexp(kTwoPi, 60);
  for (const auto & [angle, expected, tolerance] :
       {std::tuple{100.0, TurnByTurn(100.0), 1e-13},
        {-1e4, TurnByTurn(-1e4), 1e-9},
        {6.5e6, TurnByTurn(6.5e6), 1e-4},
        {whole_turns, kTwoPi, 0.0},
        {-whole_turns, -kTwoPi, 0.0}}) {
    EXPECT_NEAR(NormalizeAngle(angle), expected, tolerance) << angle;
  }
  for (const double angle : {-1e17, std::numeric_limits<double>::max()}) {
    const double wrapped = NormalizeAngle(angle);
    EXPECT_LE(std::fabs(wrapped), kTwoPi) << angle;
    EXPECT_EQ(std::signbit(wrapped), std::signbit(angle)) << angle;
  }
  const double inf = std::numeric_limits<double>::infinity();
  for (const double angle : {inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(NormalizeAngle(angle))) << angle;
  }
}

TEST(PathTest, TrimsOnlyTheGivenCharacterAndExpandsOnlyALeadingTilde)
{
  std::string text = "\t a \n";
  EXPECT_EQ(common_util::TrimString(text, ' '), "\t a \n");
  text = "//opt//maps//";
  EXPECT_EQ(common_util::TrimString(text, '/'), "opt//maps");

  const char * home = std::getenv("HOME");
  const std::string saved_home = home ? home : "";
  setenv("HOME", "/home/robot", 1);
  for (const auto & [path, expanded] :
       {std::pair<std::string, std::string>{"   ", ""},
        {" ~/maps/  ", "/home/robot/maps/"},
        {"~operator", "/home/robotoperator"},
        {"/data/~/maps", "/data/~/maps"}}) {
    std::string argument = path;
    EXPECT_EQ(common_util::ExpandUserPath(argument), expanded) << '"' << path << '"';
  }
  unsetenv("HOME");
  std::string path = " ~/maps/ ";
  EXPECT_EQ(common_util::ExpandUserPath(path), "~/maps/");
  EXPECT_EQ(path, "~/maps/");  // trimmed in place
  if (home) {
    setenv("HOME", saved_home.c_str(), 1);
  }
}

}  // namespace

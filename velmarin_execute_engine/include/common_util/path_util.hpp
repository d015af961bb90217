// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef COMMON_UTIL__PATH_UTIL_HPP_
#define COMMON_UTIL__PATH_UTIL_HPP_

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

// Small path and angle helpers. Each including file carries its own copy (internal linkage).
namespace common_util
{

// Wraps `angle` (radians) by whole turns of 2*pi until it lies in [-2*pi, 2*pi]; 2*pi and
// -2*pi themselves stay. Not a reduction to (-pi, pi]: 4.0 stays 4.0.
// Up to about a million turns the turns are taken off one by one, so the result carries the
// rounding of that loop; beyond, the remainder is computed directly (the loop would take too
// long, or never end once subtracting a turn no longer changes the value).
// A non-finite angle gives NaN, so an orientation built from it is rejected.
[[maybe_unused]] static double NormalizeAngle(double angle)
{
  constexpr double kTwoPi = 6.283185307179586;
  constexpr double kTurnByTurnLimit = kTwoPi * (1 << 20);
  if (!std::isfinite(angle)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (std::fabs(angle) > kTurnByTurnLimit) {
    // fmod keeps the sign of `angle`; an exact multiple maps to the end of the loop's range.
    const double wrapped = std::fmod(angle, kTwoPi);
    if (wrapped == 0.0) {
      return angle > 0.0 ? kTwoPi : -kTwoPi;
    }
    return wrapped;
  }
  while (angle > kTwoPi) {
    angle -= kTwoPi;
  }
  while (angle < -kTwoPi) {
    angle += kTwoPi;
  }
  return angle;
}

// Removes every leading and trailing `ch` from `text` in place and returns a copy of the
// result. Only `ch` is removed; occurrences between other characters stay.
[[maybe_unused]] static std::string TrimString(std::string & text, char ch)
{
  if (!text.empty()) {
    text.erase(0, text.find_first_not_of(ch));
    const std::string::size_type last = text.find_last_not_of(ch);
    if (last != std::string::npos) {
      text.erase(last + 1);
    }
  }
  return text;
}

// Trims spaces off both ends of `path` (in place) and returns it with a leading "~" replaced
// by the value of HOME. Only that first character is expanded ("~user" becomes HOME + "user").
// Without HOME the trimmed path comes back unexpanded.
[[maybe_unused]] static std::string ExpandUserPath(std::string & path)
{
  std::string expanded = TrimString(path, ' ');
  if (expanded.empty() || expanded.front() != '~') {
    return expanded;
  }
  const char * home = std::getenv("HOME");
  if (home == nullptr) {
    return expanded;
  }
  return std::string(home) + expanded.substr(1);
}

// The robot's install prefix, trailing "/" included.
[[maybe_unused]] static std::string GetInstallPath() { return "/opt/velmarin/install/"; }

}  // namespace common_util

#endif  // COMMON_UTIL__PATH_UTIL_HPP_

// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__ROS_LOG_CAPTURE_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__ROS_LOG_CAPTURE_HPP_

#include <rcutils/logging.h>

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace execute_engine_test_support
{

// The text that one call of a ROS output handler logs, cut at 1023 characters.
inline std::string FormatLogLine(const char * format, va_list * args)
{
  char line[1024];
  va_list copy;
  va_copy(copy, *args);
  std::vsnprintf(line, sizeof(line), format, copy);
  va_end(copy);
  return line;
}

// Keeps what the nodes write through their ROS loggers, and still prints it. Install it after
// every rclcpp::init, which sets the output handler anew.
class RosLogCapture
{
public:
  static void Install() { rcutils_logging_set_output_handler(&Handle); }

  static void Clear()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    written_text_.clear();
  }

  // True once a line holding `text` was written, false after `timeout`.
  static bool WaitFor(const std::string & text, std::chrono::milliseconds timeout)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return written_.wait_for(
      lock, timeout, [&text] { return written_text_.find(text) != std::string::npos; });
  }

private:
  static void Handle(
    const rcutils_log_location_t * location, int severity, const char * name,
    rcutils_time_point_value_t timestamp, const char * format, va_list * args)
  {
    const std::string line = FormatLogLine(format, args);
    std::lock_guard<std::mutex> lock(mutex_);
    written_text_.append(line).push_back('\n');
    written_.notify_all();
    rcutils_logging_console_output_handler(location, severity, name, timestamp, format, args);
  }

  static inline std::mutex mutex_;
  static inline std::condition_variable written_;
  // Every line so far, each ended by a newline.
  static inline std::string written_text_;
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__ROS_LOG_CAPTURE_HPP_

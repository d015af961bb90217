// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "common_util/log_holder.hpp"

#include <spdlog/sinks/daily_file_sink.h>

#include <iostream>

namespace common_util
{

namespace
{
constexpr char kLogPattern[] = "[%Y-%m-%d %T.%e] [thread %t] [%n] [%l] [%@] %v";
}  // namespace

std::shared_ptr<spdlog::logger> LogHolder::GetLogger() const { return logger_; }

void LogHolder::InitLog(const std::string & path, int level, const std::string & name)
{
  const std::string logger_name = name.empty() ? "unknow" : name;
  // A logger the process already registered under this name is the program logger: opening
  // the file too would only fail on the taken name after creating it.
  if (auto registered = spdlog::get(logger_name)) {
    logger_ = registered;
    return;
  }
  try {
    logger_ = spdlog::daily_logger_mt(logger_name, path, 0, 0, false, 0);
    logger_->set_level(static_cast<spdlog::level::level_enum>(level));
    logger_->set_pattern(kLogPattern, spdlog::pattern_time_type::local);
    logger_->flush_on(spdlog::level::debug);
  } catch (const spdlog::spdlog_ex & error) {
    std::cout << "log initialization failed[" << error.what() << "]\n";
  }
}

LogHolder * LogInstance()
{
  static LogHolder holder;
  return &holder;
}

}  // namespace common_util

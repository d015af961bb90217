// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef COMMON_UTIL__LOG_HOLDER_HPP_
#define COMMON_UTIL__LOG_HOLDER_HPP_

#include <spdlog/spdlog.h>

#include <memory>
#include <string>

namespace common_util
{

// Holds the one program logger. Empty until InitLog succeeds.
class LogHolder
{
public:
  // Returns a copy of the logger, or an empty pointer before a successful InitLog.
  // Callers keep the copy for one log call so the logger outlives that call.
  std::shared_ptr<spdlog::logger> GetLogger() const;

  // Creates a logger named `name` ("unknow" when empty) writing to a daily file
  // `path`_YYYY-MM-DD (appended, never truncated, never deleted), at `level` in the
  // library's numbering, flushed after every message of debug level or higher. A logger
  // already registered with the library under that name is taken as it is, opening no file.
  // On a library error prints "log initialization failed[<reason>]" to standard output and
  // keeps what the holder held before. Not synchronised with GetLogger: call it before any
  // thread that logs exists.
  void InitLog(const std::string & path, int level, const std::string & name);

private:
  std::shared_ptr<spdlog::logger> logger_;
};

// The process-wide holder, created on first use.
LogHolder * LogInstance();

}  // namespace common_util

// Every log call of the system goes through these macros: they pass the call site's file,
// line and function, and do nothing while no logger is set up. A helper that logs on behalf of
// its caller takes the caller's EE_CALL_SITE and logs with EE_LOG_AT.
#define EE_CALL_SITE \
  ::spdlog::source_loc { __FILE__, __LINE__, static_cast<const char *>(__FUNCTION__) }

#define EE_LOG_AT(call_site, level, ...)                             \
  do {                                                               \
    auto ee_log_logger_ = ::common_util::LogInstance()->GetLogger(); \
    if (ee_log_logger_) {                                            \
      ee_log_logger_->log(call_site, level, __VA_ARGS__);            \
    }                                                                \
  } while (false)

#define EE_LOG_AT_LEVEL(level, ...) EE_LOG_AT(EE_CALL_SITE, level, __VA_ARGS__)

#define EE_LOG_DEBUG(...) EE_LOG_AT_LEVEL(::spdlog::level::debug, __VA_ARGS__)
#define EE_LOG_ERROR(...) EE_LOG_AT_LEVEL(::spdlog::level::err, __VA_ARGS__)

#endif  // COMMON_UTIL__LOG_HOLDER_HPP_

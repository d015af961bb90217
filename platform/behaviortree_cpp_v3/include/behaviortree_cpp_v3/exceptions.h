#ifndef BEHAVIORTREE_CPP_V3__EXCEPTIONS_H_
#define BEHAVIORTREE_CPP_V3__EXCEPTIONS_H_

#include <exception>
#include <string>

#include "behaviortree_cpp_v3/utils/strcat.hpp"

namespace BT
{
/// Base of every error the library raises; the message is its arguments concatenated.
class BehaviorTreeException : public std::exception
{
public:
  template <typename... Pieces>
  explicit BehaviorTreeException(const Pieces &... pieces) : message_(StrCat(pieces...))
  {
  }

  const char * what() const noexcept override { return message_.c_str(); }

private:
  std::string message_;
};

/// A fault of the program: wrong use of the API or a tree that can never work.
class LogicError : public BehaviorTreeException
{
public:
  using BehaviorTreeException::BehaviorTreeException;
};

/// A fault found while running: bad input, a missing file, a missing port value.
class RuntimeError : public BehaviorTreeException
{
public:
  using BehaviorTreeException::BehaviorTreeException;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__EXCEPTIONS_H_

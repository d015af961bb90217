#include "behaviortree_cpp_v3/blackboard.h"

namespace BT
{
Blackboard::Ptr Blackboard::create() { return Ptr(new Blackboard()); }

const Any * Blackboard::getAny(const std::string & key) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = storage_.find(key);
  return it == storage_.end() ? nullptr : &it->second->value;
}

const PortInfo * Blackboard::portInfo(const std::string & key)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = storage_.find(key);
  return it == storage_.end() ? nullptr : &it->second->port_info;
}

void Blackboard::createEntry(const std::string & key, const PortInfo & info)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = storage_.find(key);
  if (it == storage_.end()) {
    storage_.emplace(key, std::make_shared<Entry>(info));
    return;
  }
  const PortInfo & previous = it->second->port_info;
  if (previous.isStronglyTyped() && info.isStronglyTyped() && *previous.type() != *info.type()) {
    throw LogicError(
      "Blackboard: once declared, the type of a port shall not change. Previously declared "
      "type [",
      demangle(previous.type()), "] != new type [", demangle(info.type()), "]");
  }
}

}  // namespace BT

#include "behaviortree_cpp_v3/blackboard.h"

namespace BT
{
Blackboard::Ptr Blackboard::create(Ptr parent) { return Ptr(new Blackboard(std::move(parent))); }

Blackboard::Blackboard(Ptr parent) : parent_(parent) {}

std::optional<std::pair<Blackboard::Ptr, std::string>> Blackboard::remappedToParent(
  const std::string & key) const
{
  Ptr parent = parent_.lock();
  if (!parent) {
    return std::nullopt;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = internal_to_external_.find(key);
  if (it == internal_to_external_.end()) {
    return std::nullopt;
  }
  return std::make_pair(std::move(parent), it->second);
}

const Any * Blackboard::getAny(const std::string & key) const
{
  if (const auto parent_key = remappedToParent(key)) {
    return static_cast<const Blackboard &>(*parent_key->first).getAny(parent_key->second);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = storage_.find(key);
  return it == storage_.end() ? nullptr : &it->second.value;
}

Any * Blackboard::getAny(const std::string & key)
{
  return const_cast<Any *>(static_cast<const Blackboard &>(*this).getAny(key));
}

void Blackboard::setPortInfo(std::string key, const PortInfo & info)
{
  if (const auto parent_key = remappedToParent(key)) {
    parent_key->first->setPortInfo(parent_key->second, info);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = storage_.find(key);
  if (it == storage_.end()) {
    storage_.emplace(std::move(key), Entry{Any(), info});
    return;
  }
  const std::type_info * declared = it->second.port_info.type();
  if (declared != nullptr && info.type() != nullptr && *declared != *info.type()) {
    throw LogicError(
      "Blackboard::set() failed: once declared, the type of a port shall not change. "
      "Declared type [",
      demangle(declared), "] != current type [", demangle(info.type()), "]");
  }
  if (declared == nullptr && info.type() != nullptr) {
    it->second.port_info = info;
  }
}

const PortInfo * Blackboard::portInfo(const std::string & key)
{
  if (const auto parent_key = remappedToParent(key)) {
    return parent_key->first->portInfo(parent_key->second);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = storage_.find(key);
  return it == storage_.end() ? nullptr : &it->second.port_info;
}

void Blackboard::addSubtreeRemapping(StringView internal, StringView external)
{
  std::lock_guard<std::mutex> lock(mutex_);
  internal_to_external_.insert_or_assign(std::string(internal), std::string(external));
}

}  // namespace BT

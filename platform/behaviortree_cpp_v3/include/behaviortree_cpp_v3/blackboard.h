#ifndef BEHAVIORTREE_CPP_V3__BLACKBOARD_H_
#define BEHAVIORTREE_CPP_V3__BLACKBOARD_H_

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "behaviortree_cpp_v3/basic_types.h"
#include "behaviortree_cpp_v3/exceptions.h"
#include "behaviortree_cpp_v3/utils/safe_any.hpp"

namespace BT
{
/// Key/value store shared by the nodes of a tree. A blackboard made with a parent is the
/// blackboard of a subtree: a key remapped with addSubtreeRemapping reads and writes the
/// parent's entry of the remapped name, every other key is the subtree's own. The parent is held
/// weakly; the tree keeps every blackboard of its subtrees alive.
///
/// set, get and the port-type methods may be called from several threads. A pointer returned by
/// getAny is only valid while nobody else writes the blackboard.
class Blackboard
{
public:
  using Ptr = std::shared_ptr<Blackboard>;

  static Ptr create(Ptr parent = {});

  virtual ~Blackboard() = default;

  /// The entry's value, or null when the key has no entry.
  const Any * getAny(const std::string & key) const;
  Any * getAny(const std::string & key);

  /// Reads the entry into `value`; false when the key has no entry or the entry has no value.
  /// Throws RuntimeError when the value can not be converted to T.
  template <typename T>
  bool get(const std::string & key, T & value) const
  {
    if (const auto parent_key = remappedToParent(key)) {
      return parent_key->first->get(parent_key->second, value);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = storage_.find(key);
    if (it == storage_.end() || it->second.value.empty()) {
      return false;
    }
    value = it->second.value.cast<T>();
    return true;
  }

  /// The entry's value; throws RuntimeError when the key has no value.
  template <typename T>
  T get(const std::string & key) const
  {
    T value{};
    if (!get(key, value)) {
      throw RuntimeError("Blackboard::get() error. Missing key [", key, "]");
    }
    return value;
  }

  /// Writes the entry. Once a port of a strong type has declared the entry, a value of another
  /// type is refused with LogicError, except text that parses as the declared type.
  template <typename T>
  void set(const std::string & key, const T & value)
  {
    if (const auto parent_key = remappedToParent(key)) {
      parent_key->first->set(parent_key->second, value);
      return;
    }
    Any new_value(value);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = storage_.find(key);
    if (it == storage_.end()) {
      storage_.emplace(key, Entry{std::move(new_value), PortInfo()});
      return;
    }
    const PortInfo & declared_port = it->second.port_info;
    const std::type_info * declared = declared_port.type();
    if (declared != nullptr && *declared != new_value.type()) {
      Any parsed;
      if (new_value.isString()) {
        parsed = declared_port.parseString(new_value.cast<std::string>());
      }
      if (parsed.empty()) {
        throw LogicError(
          "Blackboard::set() failed: once declared, the type of a port shall not change. "
          "Declared type [",
          demangle(declared), "] != current type [", demangle(new_value.type()), "]");
      }
      new_value = std::move(parsed);
    }
    it->second.value = std::move(new_value);
  }

  /// Declares the type of the entry `key` (creating it without a value if needed). Throws
  /// LogicError when the entry was declared with another strong type.
  void setPortInfo(std::string key, const PortInfo & info);

  /// The declared port of the entry; null when the key has no entry.
  const PortInfo * portInfo(const std::string & key);

  /// Makes `internal` of this blackboard an alias of `external` of the parent.
  void addSubtreeRemapping(StringView internal, StringView external);

protected:
  explicit Blackboard(Ptr parent);

private:
  struct Entry
  {
    Any value;
    PortInfo port_info;
  };

  /// The parent and its key when `key` is remapped and the parent still exists.
  std::optional<std::pair<Ptr, std::string>> remappedToParent(const std::string & key) const;

  mutable std::mutex mutex_;
  std::unordered_map<std::string, Entry> storage_;
  std::weak_ptr<Blackboard> parent_;
  std::unordered_map<std::string, std::string> internal_to_external_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__BLACKBOARD_H_

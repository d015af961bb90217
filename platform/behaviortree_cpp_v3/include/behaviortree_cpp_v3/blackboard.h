#ifndef BEHAVIORTREE_CPP_V3__BLACKBOARD_H_
#define BEHAVIORTREE_CPP_V3__BLACKBOARD_H_

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "behaviortree_cpp_v3/basic_types.h"
#include "behaviortree_cpp_v3/exceptions.h"
#include "behaviortree_cpp_v3/utils/safe_any.hpp"

namespace BT
{
/// Key/value store shared by the nodes of a tree. An entry is made by its first set(), or
/// without a value by a port of the tree that names it (createEntry). Its type is fixed then:
/// by the port's type, or by the type of the first value unless that value is text.
///
/// set, get and createEntry may be called from several threads. A pointer returned by getAny
/// stays valid as long as the blackboard; read its value while holding entryMutex(), which
/// set() holds while it writes.
class Blackboard
{
public:
  using Ptr = std::shared_ptr<Blackboard>;

  static Ptr create();

  virtual ~Blackboard() = default;

  /// The entry's value, or null when the key has no entry.
  const Any * getAny(const std::string & key) const;
  Any * getAny(const std::string & key)
  {
    return const_cast<Any *>(static_cast<const Blackboard &>(*this).getAny(key));
  }

  /// Reads the entry into `value`; false when the key has no entry. Throws std::runtime_error
  /// when the entry has no value or its value is not a T (see Any::cast: text is not parsed).
  template <typename T>
  bool get(const std::string & key, T & value) const
  {
    std::lock_guard<std::mutex> entry_lock(entry_mutex_);
    const Any * found = getAny(key);
    if (found != nullptr) {
      value = found->cast<T>();
    }
    return found != nullptr;
  }

  /// The entry's value; throws RuntimeError when the key has no entry.
  template <typename T>
  T get(const std::string & key) const
  {
    std::lock_guard<std::mutex> entry_lock(entry_mutex_);
    const Any * found = getAny(key);
    if (found == nullptr) {
      throw RuntimeError("Blackboard::get() error. Missing key [", key, "]");
    }
    return found->cast<T>();
  }

  /// Writes the entry. A value of another type than the entry's is refused with LogicError,
  /// except text that the entry's port parses as its type.
  template <typename T>
  void set(const std::string & key, const T & value)
  {
    constexpr bool is_text = std::is_convertible_v<const T &, std::string_view>;
    Any new_value(value);
    std::lock_guard<std::mutex> entry_lock(entry_mutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = storage_.find(key);
    if (it == storage_.end()) {
      const PortInfo info = is_text ? PortInfo(PortDirection::INOUT)
                                    : PortInfo(PortDirection::INOUT, new_value.type(), {});
      it = storage_.emplace(key, std::make_shared<Entry>(info)).first;
    }
    Entry & entry = *it->second;
    const std::type_info * declared = entry.port_info.type();
    if (declared != nullptr && *declared != typeid(T) && *declared != new_value.type()) {
      Any parsed;
      if constexpr (is_text) {
        parsed = entry.port_info.parseString(std::string(std::string_view(value)));
      }
      if (parsed.empty()) {
        throw LogicError(
          "Blackboard::set() failed: once declared, the type of a port shall not change. "
          "Declared type [",
          demangle(declared), "] != current type [", demangle(typeid(T)), "]");
      }
      new_value = std::move(parsed);
    }
    entry.value = std::move(new_value);
  }

  /// Held by set() while it writes an entry's value.
  std::mutex & entryMutex() { return entry_mutex_; }

  /// The port that declared the entry; null when the key has no entry.
  const PortInfo * portInfo(const std::string & key);

  /// Makes the entry `key` without a value, typed by `info`. An existing entry is kept; throws
  /// LogicError when both it and `info` are strongly typed with different types.
  void createEntry(const std::string & key, const PortInfo & info);

protected:
  Blackboard() = default;

private:
  struct Entry
  {
    explicit Entry(const PortInfo & info) : port_info(info) {}

    Any value;
    const PortInfo port_info;
  };

  // Taken before mutex_ when both are needed.
  mutable std::mutex entry_mutex_;
  mutable std::mutex mutex_;
  // Entries are shared pointers so that getAny's pointers survive a rehash.
  std::unordered_map<std::string, std::shared_ptr<Entry>> storage_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__BLACKBOARD_H_

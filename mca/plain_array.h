// A growable array of plain records on malloc: the library throws nothing,
// so running out of memory is an answer (false), never an exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

template <typename T>
class PlainArray {
  static_assert(std::is_trivially_copyable<T>::value, "plain records only");

 public:
  PlainArray() = default;
  PlainArray(const PlainArray&) = delete;
  PlainArray& operator=(const PlainArray&) = delete;
  ~PlainArray() { std::free(items_); }

  // Room for `count` records, the first `size` kept; new ones zeroed.
  bool Resize(size_t count) {
    if (count > room_ && !Reserve(count)) return false;
    for (size_t i = size_; i < count; ++i) items_[i] = T{};
    size_ = count;
    return true;
  }
  bool Push(const T& item) {
    if (size_ == room_ && !Reserve(room_ < 16 ? 16 : 2 * room_)) return false;
    items_[size_++] = item;
    return true;
  }
  void Clear() { size_ = 0; }
  T* Data() { return items_; }
  const T* Data() const { return items_; }
  size_t Size() const { return size_; }
  T& operator[](size_t i) { return items_[i]; }
  const T& operator[](size_t i) const { return items_[i]; }

 private:
  bool Reserve(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) return false;
    T* grown = static_cast<T*>(std::malloc(count * sizeof(T)));
    if (!grown) return false;
    if (size_ > 0) std::memcpy(grown, items_, size_ * sizeof(T));
    std::free(items_);
    items_ = grown;
    room_ = count;
    return true;
  }
  T* items_ = nullptr;
  size_t size_ = 0;
  size_t room_ = 0;
};

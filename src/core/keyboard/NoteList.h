#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace orvane {

// An ordered list of note values: one for a piano key, two for a bass button, three or four for a
// chord. Fixed capacity, so copying one on the key-press path never allocates.
class NoteList {
 public:
  static constexpr std::size_t kCapacity = 4;

  constexpr NoteList() = default;
  // Values beyond the capacity are dropped; the layouts never hold more than four.
  constexpr NoteList(std::initializer_list<int> values) {
    for (int value : values) {
      if (size_ == kCapacity) break;
      values_[size_++] = value;
    }
  }

  constexpr std::size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  constexpr int operator[](std::size_t index) const { return values_[index]; }
  constexpr const int* begin() const { return values_.data(); }
  constexpr const int* end() const { return values_.data() + size_; }

  constexpr bool operator==(const NoteList& other) const {
    if (size_ != other.size_) return false;
    for (std::size_t i = 0; i < size_; ++i) {
      if (values_[i] != other.values_[i]) return false;
    }
    return true;
  }

 private:
  std::array<int, kCapacity> values_{};
  std::size_t size_ = 0;
};

}  // namespace orvane

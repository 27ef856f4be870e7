#pragma once

namespace orvane {

// The one instance of T, built on first use and destroyed at program exit.
template <typename T>
class Singleton {
 public:
  static T& Instance() {
    static T instance;
    return instance;
  }

  Singleton(const Singleton&) = delete;
  Singleton& operator=(const Singleton&) = delete;

 protected:
  Singleton() = default;
  virtual ~Singleton() = default;
};

}  // namespace orvane

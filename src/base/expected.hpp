// The project's error-or-value type. g++ 12 gives us std::expected; clang 14
// (used only for the libFuzzer build) cannot compile libstdc++'s <expected>,
// so there a minimal stand-in with the same spelling takes its place.
#pragma once

#include <version>

#if defined(__cpp_lib_expected)
#include <expected>
namespace vistel {
using std::expected;
using std::unexpected;
}  // namespace vistel
#else
#include <type_traits>
#include <utility>
#include <variant>

namespace vistel {

template <class E>
class unexpected {
 public:
  explicit unexpected(E e) : error_(std::move(e)) {}
  const E& error() const& { return error_; }
  E& error() & { return error_; }

 private:
  E error_;
};

template <class T, class E>
class expected {
 public:
  using value_type = T;
  using error_type = E;

  expected() requires std::is_default_constructible_v<T> : state_(std::in_place_index<0>) {}
  template <class U = T>
    requires std::is_constructible_v<T, U&&> && (!std::is_same_v<std::remove_cvref_t<U>, expected>)
  expected(U&& v) : state_(std::in_place_index<0>, std::forward<U>(v)) {}
  template <class G>
  expected(unexpected<G> u) : state_(std::in_place_index<1>, std::move(u.error())) {}

  bool has_value() const { return state_.index() == 0; }
  explicit operator bool() const { return has_value(); }
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return std::get<0>(state_); }
  const T& operator*() const& { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  const E& error() const& { return std::get<1>(state_); }
  E& error() & { return std::get<1>(state_); }
  template <class U>
  T value_or(U&& other) const& {
    return has_value() ? value() : static_cast<T>(std::forward<U>(other));
  }

 private:
  std::variant<T, E> state_;
};

template <class E>
class expected<void, E> {
 public:
  expected() = default;
  template <class G>
  expected(unexpected<G> u) : error_(std::move(u.error())), failed_(true) {}
  bool has_value() const { return !failed_; }
  explicit operator bool() const { return !failed_; }
  void value() const {}
  void operator*() const {}
  const E& error() const& { return error_; }

 private:
  E error_{};
  bool failed_ = false;
};

}  // namespace vistel
#endif

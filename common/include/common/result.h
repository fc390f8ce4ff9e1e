// The one way internal C++ code reports a failure: a value, or an Error saying what went
// wrong. C interfaces keep their bools and codes; this is for everything behind them.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace fleet {

struct Error {
    std::string message;  // for people: what failed and, where known, why
    int code = 0;         // a protocol or system code where one applies, else 0
};

// Builds the failure side of any Result: `return fleet::fail("index: short read");`
inline Error fail(std::string message, int code = 0) {
    return Error{std::move(message), code};
}

template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only on success.
    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only on failure.
    const Error& error() const { return std::get<1>(state_); }

  private:
    std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return error_; }

  private:
    Error error_;
    bool failed_ = false;
};

using Status = Result<void>;

}  // namespace fleet

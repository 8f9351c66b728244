#pragma once
// A value or a failure the caller can show to the user; conversions never throw.

#include <string>
#include <utility>
#include <variant>

namespace korvel::protocol {

struct Failure {
    enum class Kind {
        NotANumber, // the text is not a number (or not an integer where one is required)
        OutOfRange, // a number whose integer part the target byte cannot carry
    };
    Kind kind;
    std::string message;
};

template <typename T> class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Failure failure) : state_(std::move(failure)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    // Precondition: ok().
    const T& value() const { return std::get<T>(state_); }
    const T& operator*() const { return value(); }
    const T* operator->() const { return &value(); }
    // Precondition: !ok().
    const Failure& failure() const { return std::get<Failure>(state_); }

private:
    std::variant<T, Failure> state_;
};

} // namespace korvel::protocol

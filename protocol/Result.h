#pragma once
// A value or a failure the caller can show to the user; conversions never throw.
//
// This is the one style for expected failures outside the serial component
// (which keeps its own ECommsError): a function that can fail in a way the
// user must hear about returns Result<T>, or Result<void> when it has no value.
// Programming errors are not expected failures: they are asserted.

#include <string>
#include <utility>
#include <variant>

namespace korvel::protocol {

struct Failure {
    enum class Kind {
        NotANumber, // the text is not a number (or not an integer where one is required)
        OutOfRange, // a number whose integer part the target byte cannot carry
        Invalid,    // the input breaks a rule other than the two above
        System,     // the operating system refused (a file, a port, a database)
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
    // The value moved out, for one that cannot be copied (a std::unique_ptr):
    // std::move(result).Take(). Precondition: ok().
    T Take() && { return std::get<T>(std::move(state_)); }
    // Precondition: !ok().
    const Failure& failure() const { return std::get<Failure>(state_); }

private:
    std::variant<T, Failure> state_;
};

// Success without a value, or a failure.
template <> class Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }

    // Precondition: !ok().
    const Failure& failure() const { return failure_; }

private:
    Failure failure_{Failure::Kind::Invalid, {}};
    bool failed_ = false;
};

} // namespace korvel::protocol

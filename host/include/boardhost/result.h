// What every operation of the library returns: a value or an error that says
// what went wrong. Failures are never turned into zeros.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace boardhost {

struct Error {
    enum class Kind {
        Absent,        // no board answers at the address
        Nack,          // a board stopped acknowledging in the middle of a transfer
        ShortRead,     // fewer bytes came back than were asked for
        BadDescriptor, // the descriptor cannot be used
        Unsupported,   // the board has no such channel or kind of I/O
        BadArgument,   // a value the board cannot take
        Bus,           // the bus or the connection to it failed
    };
    Kind kind;
    std::string message;
};

// A value of T, or an Error.
template <class T>
class Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<0>(v_); }
    T& value() & { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

// Success without a value.
struct Done {};
using Status = Result<Done>;

inline Error makeError(Error::Kind kind, std::string message) {
    return Error{kind, std::move(message)};
}

} // namespace boardhost

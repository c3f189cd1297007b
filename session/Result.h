// What a session call returns: the value, and whether the exchange succeeded or what
// went wrong. A value is always there: after a failure it holds what did arrive (zeros
// elsewhere), which is what some readers of the device still show.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brimel {

enum class SessionError : std::uint8_t {
    NoDevice,         // no Brimel was found
    NotFound,         // the device asked for is not on the bus
    AccessDenied,     // found, but this user may not open it
    DeviceBusy,       // another program holds it
    OpenFailed,       // found, but it could not be opened for another reason
    NotOpen,          // no device is open: nothing was sent
    IoError,          // a write, queue check or read failed
    NoReply,          // the device did not answer in time
    ShortReply,       // it answered with fewer bytes than the request asks for
    WrongEcho,        // it answered with another command code
    Cancelled,        // the caller stopped the operation between two frames
    InvalidArgument,  // the call's arguments cannot be sent
};

// A stable, lower-case identifier of each error ("no-reply"), for logs and JSON.
std::string_view errorCode(SessionError error);

template <class T>
class [[nodiscard]] Result {
public:
    Result() = default;
    Result(T value) : value_(std::move(value)) {}  // NOLINT: a value is a success
    Result(T value, std::optional<SessionError> error) : value_(std::move(value)), error_(error) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    // Only meaningful when !ok().
    SessionError error() const { return error_.value_or(SessionError::InvalidArgument); }
    const std::optional<SessionError> &failure() const { return error_; }

    const T &value() const { return value_; }
    T &value() { return value_; }
    const T &operator*() const { return value_; }
    const T *operator->() const { return &value_; }

private:
    T value_{};
    std::optional<SessionError> error_;
};

// The result of a call that brings back no value.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(SessionError error) : error_(error) {}                 // NOLINT: an error is a failure
    Status(std::optional<SessionError> error) : error_(error) {}  // NOLINT

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    SessionError error() const { return error_.value_or(SessionError::InvalidArgument); }
    const std::optional<SessionError> &failure() const { return error_; }

private:
    std::optional<SessionError> error_;
};

}  // namespace brimel

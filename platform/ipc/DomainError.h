#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace platform {

// An error as it crosses the helper's socket: a domain, a code within it and a readable message.
struct DomainError
{
    std::string domain;
    int code = 0;
    std::string message;

    bool operator==(const DomainError&) const = default;
};

inline constexpr const char* kPosixErrorDomain = "NSPOSIXErrorDomain";

// The POSIX error for errno value `error`, with the system's text for it.
DomainError posixError(int error);

// A value or the error that stopped it being made.
template<class T> class Result
{
public:
    Result(T value)
        : m_state(std::move(value))
    {
    }
    Result(DomainError error)
        : m_state(std::move(error))
    {
    }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(m_state); }
    T& value() { return std::get<0>(m_state); }
    const DomainError& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, DomainError> m_state;
};

// Success, or the error of an operation that returns nothing.
template<> class Result<void>
{
public:
    Result() = default;
    Result(DomainError error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const DomainError& error() const { return *m_error; }

private:
    std::optional<DomainError> m_error;
};

} // namespace platform

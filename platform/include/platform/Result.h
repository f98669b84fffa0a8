#pragma once
// A small expected-style result for the layer's C++ functions: a value, or a Win32 error
// code with a readable message.

#include <platform/WinTypes.h>

#include <string>
#include <utility>
#include <variant>

namespace platform {

struct Error {
    LONG code = ERROR_INVALID_FUNCTION;
    std::string message;
};

template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(m_state); }
    const T& value() const { return std::get<0>(m_state); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)), m_ok(false) {}
    bool ok() const { return m_ok; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return m_error; }

private:
    Error m_error;
    bool m_ok = true;
};

inline Error makeError(LONG code, std::string message)
{
    return Error{code, std::move(message)};
}

} // namespace platform

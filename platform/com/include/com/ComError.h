#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "com/HResult.h"

#include <stdexcept>
#include <string>

namespace com {

// A failed platform call, raised at the call site with the platform's
// message: the text the callee left with SetErrorInfo, else the system text
// of the status code.
class ComError : public std::runtime_error {
public:
    ComError(HRESULT hr, const std::string &message) : std::runtime_error(message), hr_(hr) {}
    HRESULT code() const { return hr_; }

private:
    HRESULT hr_;
};

// The error-information slot of the calling thread. A callee that fails sets
// the text before it returns its failing status; the caller's check() takes
// it. Empty text clears the slot.
void SetErrorInfo(const std::string &text);
// Takes (and clears) the text in the slot; empty when there is none.
std::string TakeErrorInfo();

// Returns the failing status after leaving `message` for the caller.
HRESULT fail(HRESULT hr, const std::string &message);

[[noreturn]] void throwError(HRESULT hr);

// Raises a ComError for a failing status, like the sync suite's wrappers do.
inline void check(HRESULT hr)
{
    if (FAILED(hr))
        throwError(hr);
}

// Runs `body`, turning any exception into a failing status whose message is
// left in the error-information slot. For entry points and interface
// methods, which must never let an exception cross the boundary.
template <class F>
HRESULT guarded(F &&body) noexcept
{
    try {
        return body();
    } catch (const ComError &e) {
        return fail(e.code(), e.what());
    } catch (const std::exception &e) {
        return fail(E_FAIL, e.what());
    } catch (...) {
        return fail(E_UNEXPECTED, std::string());
    }
}

} // namespace com

#pragma GCC visibility pop

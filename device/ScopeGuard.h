// Runs a clean-up when the scope ends, unless dismissed: one guard per resource taken
// instead of the same release calls repeated on every early return.
#pragma once

#include <utility>

namespace brimel {

template <class F>
class ScopeGuard {
public:
    explicit ScopeGuard(F f) : f_(std::move(f)) {}
    ~ScopeGuard() {
        if (armed_) f_();
    }
    ScopeGuard(const ScopeGuard &) = delete;
    ScopeGuard &operator=(const ScopeGuard &) = delete;
    // The resource is handed on; nothing is released.
    void dismiss() { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};

}  // namespace brimel

#pragma once
// Installs a virtual pacer for as long as it lives. A comparison that fails returns from the
// test at once; the guard still puts the real pacer back, so no later test runs on a dead clock.
#include "device/Pacer.h"

#include <optional>

class ScopedPacer {
public:
    explicit ScopedPacer(double start = 0.0) : vp_(start) { Pacer::install(&vp_); }
    ~ScopedPacer() { Pacer::install(nullptr); }
    ScopedPacer(const ScopedPacer &) = delete;
    ScopedPacer &operator=(const ScopedPacer &) = delete;

    VirtualPacer &operator*() { return vp_; }
    VirtualPacer *operator->() { return &vp_; }

private:
    VirtualPacer vp_;
};

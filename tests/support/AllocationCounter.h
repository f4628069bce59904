#pragma once

#include <cstddef>

// Counts heap allocations made on this thread while a scope is alive, for
// tests of code that must not allocate per frame.
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    std::size_t count() const;
};

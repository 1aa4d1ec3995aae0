// The test program's operator new, which can be told to fail once: the
// fault injection for code that must survive running out of memory. Linked
// into one test program only, which it replaces the allocator of.
#pragma once

namespace quillet::test {

// The `nth` allocation from now (1: the next) throws std::bad_alloc; every
// other one is served. Only one fails per arming.
void fail_allocation(long nth);
// No allocation fails; true when the one armed did.
bool allocation_failed_and_disarm();

}  // namespace quillet::test

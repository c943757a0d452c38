// Lets a test make the allocator fail on purpose, to drive the out-of-memory
// paths without running out of memory. A test executable that calls
// failAllocationsAfter links in replacements of the global allocation
// functions; they behave as usual until a test asks for a failure.
#pragma once

namespace testsupport {

// After `count` more allocations succeed, the next one fails (plain forms throw
// std::bad_alloc, nothrow forms return null) and so does every later one, until
// the count is set again. -1 turns failing off.
void failAllocationsAfter(long count);

}  // namespace testsupport

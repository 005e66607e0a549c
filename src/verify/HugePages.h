#pragma once

#include <cstddef>

// Asks the kernel to back a large buffer that is about to be filled with
// huge pages, so that filling it takes one page fault in 512 instead of
// one a page. Only the whole huge pages inside [data, data + bytes) are
// affected; a kernel that says no changes nothing.
void PreferHugePages(void* data, std::size_t bytes);

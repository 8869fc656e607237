// Whether an address lies where nothing can write: a read-only segment of an
// object loaded when first asked (the application's string literals among them).
#pragma once

namespace zep::sim::replay {

bool inReadOnlySegment(const void *address);

}  // namespace zep::sim::replay

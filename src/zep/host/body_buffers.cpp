// Delivery buffers: grown on demand, never shrunk, poisoned past each body.
#include "body_buffers.hpp"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace zep::host::detail {

namespace {

// Covers every message the application handles, so that a run grows its
// buffers once or not at all.
constexpr std::size_t kMinCapacity = 8192;

}  // namespace

BodyBuffers::~BodyBuffers()
{
    for (Buffer &buffer : buffers_) {
        ASAN_UNPOISON_MEMORY_REGION(buffer.bytes.get(), buffer.capacity);
    }
}

std::span<u8> BodyBuffers::hold(std::span<const u8> body)
{
    if (depth_ == buffers_.size()) {
        buffers_.emplace_back();
    }
    Buffer &buffer = buffers_[depth_++];
    if (buffer.capacity < body.size() || buffer.bytes == nullptr) {
        ASAN_UNPOISON_MEMORY_REGION(buffer.bytes.get(), buffer.capacity);
        buffer.capacity = std::bit_ceil(std::max(body.size(), kMinCapacity));
        buffer.bytes = std::make_unique_for_overwrite<u8[]>(buffer.capacity);
    }
    u8 *bytes = buffer.bytes.get();
    ASAN_UNPOISON_MEMORY_REGION(bytes, body.size());
    if (!body.empty()) {
        std::memcpy(bytes, body.data(), body.size());
    }
    // An empty body still gets a valid pointer, with every byte behind it poisoned.
    ASAN_POISON_MEMORY_REGION(bytes + body.size(), buffer.capacity - body.size());
    return {bytes, body.size()};
}

}  // namespace zep::host::detail

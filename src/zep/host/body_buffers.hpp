// Reusable buffers for the bodies handed to handlers. A delivery copies its
// body into the buffer of its nesting depth (a handler may cause another
// delivery), so that steady traffic allocates nothing; the bytes past the
// delivered length are poisoned for AddressSanitizer, which then flags a read
// beyond the length just as it would past an exact-size heap copy.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "zep_framework.h"

namespace zep::host::detail {

class BodyBuffers {
public:
    BodyBuffers() = default;
    BodyBuffers(const BodyBuffers &) = delete;
    BodyBuffers &operator=(const BodyBuffers &) = delete;
    ~BodyBuffers();

    // A writable copy of body, valid until the matching release().
    std::span<u8> hold(std::span<const u8> body);
    void release() { --depth_; }

private:
    struct Buffer {
        std::unique_ptr<u8[]> bytes;
        std::size_t capacity = 0;
    };
    std::vector<Buffer> buffers_;  // by depth
    std::size_t depth_ = 0;
};

// Holds a body for the duration of one handler call.
class HeldBody {
public:
    HeldBody(BodyBuffers &buffers, std::span<const u8> body)
        : buffers_(buffers), bytes_(buffers.hold(body))
    {
    }
    HeldBody(const HeldBody &) = delete;
    HeldBody &operator=(const HeldBody &) = delete;
    ~HeldBody() { buffers_.release(); }
    std::span<u8> bytes() const { return bytes_; }

private:
    BodyBuffers &buffers_;
    std::span<u8> bytes_;
};

}  // namespace zep::host::detail

#pragma once

#include <cstddef>

namespace velta {

// A notice the renderer gives as it goes down the page: the first `rows` rows
// of the page buffer will not be read again. The caller may hand their memory
// back while the send buffer fills, so that a page never holds both of its big
// buffers whole. An empty notice does nothing.
struct PageRowsDone {
    void (*notify)(void* context, std::size_t rows) = nullptr;
    void* context = nullptr;

    void operator()(std::size_t rows) const {
        if (notify != nullptr) notify(context, rows);
    }
};

}  // namespace velta

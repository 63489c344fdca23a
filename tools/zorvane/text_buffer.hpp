// Characters kept end to end, appended a few at a time: a string's append
// is a call, and within it a call to memcpy, for a twenty-character time text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "large_pages.hpp"
#include "short_copy.hpp"

namespace zorvane_cli {

// Gives back a block of `capacity` characters.
struct ReleaseChars {
    std::size_t capacity = 0;
    void operator()(char* block) const { LargeBlockAllocator<char>().deallocate(block, capacity); }
};

class TextBuffer {
public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer& other) { *this = other; }
    TextBuffer& operator=(const TextBuffer& other) {
        if (this != &other) {
            size_ = 0;
            reserve(other.size_);
            append(other);
        }
        return *this;
    }
    TextBuffer(TextBuffer&& other) noexcept { *this = std::move(other); }
    TextBuffer& operator=(TextBuffer&& other) noexcept {
        data_ = std::move(other.data_);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        return *this;
    }

    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    operator std::string_view() const { return {data_.get(), size_}; }

    void reserve(std::size_t chars) {
        if (chars > capacity_) grow(chars);
    }
    void append(std::string_view text) {
        if (capacity_ - size_ < text.size()) grow(std::max(2 * capacity_, size_ + text.size()));
        copyShort(data_.get() + size_, text.data(), text.size());
        size_ += text.size();
    }

private:
    void grow(std::size_t capacity) {
        std::unique_ptr<char[], ReleaseChars> grown(LargeBlockAllocator<char>().allocate(capacity), ReleaseChars{capacity});
        if (size_) std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<char[], ReleaseChars> data_;
    std::size_t size_ = 0, capacity_ = 0;
};

}  // namespace zorvane_cli

// Bars read from a CSV file, oldest first: the time text as it stood, and
// the two prices.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "large_pages.hpp"
#include "text_buffer.hpp"

namespace zorvane_cli {

// The bars' time texts. With the file's text at hand (which the column
// keeps), most of them where they stand in it: a bar costs a position and a
// length, not a string of its own; texts that are not in the file as they
// stand (a date and a time of day joined, a quoted field with doubled
// quotes) are kept end to end in the column's own characters. Without it (a
// file read a block at a time) every text is the column's own, end to end,
// and a bar costs only where its text ends.
class TimeColumn {
public:
    TimeColumn() = default;
    explicit TimeColumn(std::shared_ptr<const std::string> fileText) : file_(std::move(fileText)), ownOnly_(false) {}

    std::size_t size() const { return ownOnly_ ? ends_.size() : entries_.size(); }
    std::string_view operator[](std::size_t i) const {
        if (ownOnly_) {
            const std::size_t begin = i ? ends_[i - 1] : 0;
            return {own_.data() + begin, ends_[i] - begin};
        }
        const std::uint64_t entry = entries_[i];
        const char* base = entry & kOwn ? own_.data() : file_->data();
        const std::size_t size = (entry & kSizeMask) == kLong ? longSizes_.at(i) : entry & kSizeMask;
        return {base + ((entry & ~kOwn) >> kSizeBits), size};
    }
    // Whether the texts are the column's own characters end to end, and those characters.
    bool ownCharsOnly() const { return ownOnly_; }
    std::string_view ownChars() const { return own_; }
    // The room reserved for the texts' ends and for the column's own
    // characters, and how much of each is filled, in bytes.
    struct Room {
        const void* data;
        std::size_t reserved, filled;
    };
    Room endsRoom() const { return {ends_.data(), ends_.capacity() * sizeof(ends_[0]), ends_.size() * sizeof(ends_[0])}; }
    Room charsRoom() const { return {own_.data(), own_.capacity(), own_.size()}; }
    // Room for `texts` texts, `chars` of them not in the file's text; with
    // mapNow, the room for the texts' ends mapped before it returns.
    void reserve(std::size_t texts, std::size_t chars, bool mapNow = true) {
        if (ownOnly_) {
            ends_.reserve(texts);
            if (mapNow) prefaultFor(ends_);
        } else {
            entries_.reserve(texts);
            preferLargePagesFor(entries_);
        }
        own_.reserve(chars);
    }
    void push_back(std::string_view text) {
        if (ownOnly_ && own_.size() + text.size() > UINT32_MAX) keepEntries();
        if (ownOnly_) {
            own_.append(text);
            ends_.push_back(static_cast<std::uint32_t>(own_.size()));
            return;
        }
        const char* data = file_ ? file_->data() : nullptr;
        if (data && text.data() >= data && text.data() + text.size() <= data + file_->size()) {
            add(0, static_cast<std::uint64_t>(text.data() - data), text.size());
        } else {
            add(kOwn, own_.size(), text.size());
            own_.append(text);
        }
    }
    // A text made of pieces: append them, then end it.
    void append(std::string_view piece) { pending_.append(piece); }
    void endText() {
        push_back(pending_);
        pending_.clear();
    }
    void reverse() {
        keepEntries();
        std::reverse(entries_.begin(), entries_.end());
        std::map<std::size_t, std::size_t> reversed;
        for (const auto& [i, size] : longSizes_) reversed[entries_.size() - 1 - i] = size;
        longSizes_ = std::move(reversed);
    }

private:
    // An entry: whether the text is in own_, where it begins, its size;
    // sizes from kLong on are kept aside.
    static constexpr int kSizeBits = 24;
    static constexpr std::uint64_t kOwn = std::uint64_t{1} << 63;
    static constexpr std::uint64_t kSizeMask = (std::uint64_t{1} << kSizeBits) - 1, kLong = kSizeMask;
    void add(std::uint64_t own, std::uint64_t begin, std::size_t size) {
        if (size >= kLong) longSizes_[entries_.size()] = size;
        entries_.push_back(own | begin << kSizeBits | std::min<std::uint64_t>(size, kLong));
    }
    // From ends to entries (to reverse the bars, or past 4 GB of text).
    void keepEntries() {
        if (!ownOnly_) return;
        ownOnly_ = false;
        entries_.reserve(ends_.size());
        for (std::size_t i = 0, begin = 0; i < ends_.size(); begin = ends_[i++]) add(kOwn, begin, ends_[i] - begin);
        ends_ = decltype(ends_)();
    }

    std::shared_ptr<const std::string> file_;
    bool ownOnly_ = true;
    TextBuffer own_;
    std::string pending_;
    std::vector<std::uint32_t, LargeBlockAllocator<std::uint32_t>> ends_;
    std::vector<std::uint64_t> entries_;
    std::map<std::size_t, std::size_t> longSizes_;
};

// The file line of each bar, kept only where a bar is not on the line after
// the bar before's (a blank line, a skipped row, a record of several lines).
class LineNumbers {
public:
    void push_back(long line) {
        if (count_ == 0 || line != last_ + 1) jumps_.push_back({count_, line});
        last_ = line;
        ++count_;
    }
    long operator[](std::size_t bar) const {
        const auto after = std::upper_bound(jumps_.begin(), jumps_.end(), bar,
                                            [](std::size_t b, const Jump& jump) { return b < jump.bar; });
        const Jump& from = *(after - 1);
        return from.line + static_cast<long>(bar - from.bar);
    }
    std::size_t size() const { return count_; }

private:
    struct Jump {
        std::size_t bar;
        long line;
    };
    std::vector<Jump> jumps_;
    std::size_t count_ = 0;
    long last_ = 0;
};

struct BarTable {
    std::string timeName, priceAName, priceBName;
    bool singlePrice = false;  // one column serves as both prices
    char separator = ',';
    TimeColumn time;
    FloatColumn priceA, priceB;
    std::vector<std::string> notes;  // what reading found worth telling: gaps skipped, order turned
    std::optional<LineNumbers> linesForOrder;  // each bar's file line while its order is still to be found

    std::size_t size() const { return priceA.size(); }
};

}  // namespace zorvane_cli

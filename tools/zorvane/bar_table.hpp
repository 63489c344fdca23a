// Bars read from a CSV file, oldest first: the time text as it stood, and
// the two prices.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane_cli {

// The bars' time texts, most of them where they stand in the file's text
// (which the column keeps): a bar costs a position and a length, not a
// string of its own. Texts that are not in the file as they stand (a date
// and a time of day joined, a quoted field with doubled quotes) are kept
// end to end in the column's own characters.
class TimeColumn {
public:
    TimeColumn() = default;
    explicit TimeColumn(std::shared_ptr<const std::string> fileText) : file_(std::move(fileText)) {}

    std::size_t size() const { return sizes_.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::uint64_t begin = begins_[i];
        const char* base = begin & kOwn ? own_.data() : file_->data();
        return {base + (begin & ~kOwn), sizes_[i]};
    }
    // Room for `texts` texts, `chars` of them not in the file's text.
    void reserve(std::size_t texts, std::size_t chars) {
        begins_.reserve(texts);
        sizes_.reserve(texts);
        own_.reserve(chars);
    }
    void push_back(std::string_view text) {
        const char* data = file_ ? file_->data() : nullptr;
        if (data && text.data() >= data && text.data() + text.size() <= data + file_->size()) {
            add(static_cast<std::uint64_t>(text.data() - data), text.size());
        } else {
            add(kOwn | own_.size(), text.size());
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
        std::reverse(begins_.begin(), begins_.end());
        std::reverse(sizes_.begin(), sizes_.end());
    }

private:
    static constexpr std::uint64_t kOwn = std::uint64_t{1} << 63;
    void add(std::uint64_t begin, std::size_t size) {
        begins_.push_back(begin);
        sizes_.push_back(static_cast<std::uint32_t>(size));
    }

    std::shared_ptr<const std::string> file_;
    std::string own_, pending_;
    std::vector<std::uint64_t> begins_;
    std::vector<std::uint32_t> sizes_;
};

struct BarTable {
    std::string timeName, priceAName, priceBName;
    bool singlePrice = false;  // one column serves as both prices
    char separator = ',';
    TimeColumn time;
    std::vector<float> priceA, priceB;
    std::vector<std::string> notes;  // what reading found worth telling: gaps skipped, order turned

    std::size_t size() const { return priceA.size(); }
};

}  // namespace zorvane_cli

#include "csv_records.hpp"

#include <array>

#include "input_error.hpp"

namespace zorvane_cli {

std::string& RecordSplitter::scratch() {
    if (scratchUsed_ == scratch_.size()) scratch_.emplace_back();
    std::string& text = scratch_[scratchUsed_++];
    text.clear();
    return text;
}

bool RecordSplitter::next(std::vector<std::string_view>& fields) {
    bool quoted = false;
    while (readRecord(fields, quoted))
        if (!(fields.size() == 1 && fields[0].empty() && !quoted)) return true;
    return false;
}

bool RecordSplitter::readRecord(std::vector<std::string_view>& fields, bool& quoted) {
    fields.clear();
    scratchUsed_ = 0;
    quoted = false;
    recordLine_ = line_;
    if (at_ >= text_.size()) return false;
    const std::size_t size = text_.size();
    for (;;) {
        // One field from at_.
        if (at_ < size && text_[at_] == '"') {
            quoted = true;
            const std::size_t begin = ++at_;
            std::string* unescaped = nullptr;
            std::size_t copiedTo = begin;
            for (;;) {
                if (at_ >= size)
                    throw InputError(source_ + ":" + std::to_string(recordLine_) + ": quoted field is never closed");
                const char c = text_[at_];
                if (c == '"') {
                    if (at_ + 1 < size && text_[at_ + 1] == '"') {  // a doubled quote stands for one
                        if (!unescaped) unescaped = &scratch();
                        unescaped->append(text_.substr(copiedTo, at_ + 1 - copiedTo));
                        at_ += 2;
                        copiedTo = at_;
                        continue;
                    }
                    break;
                }
                if (c == '\n') ++line_;
                ++at_;
            }
            const std::size_t closing = at_++;
            // Text after the closing quote belongs to the field too.
            std::size_t tail = at_;
            while (tail < size && text_[tail] != separator_ && text_[tail] != '\n' && text_[tail] != '\r') ++tail;
            if (!unescaped && tail == at_) {
                fields.push_back(text_.substr(begin, closing - begin));
            } else {
                if (!unescaped) unescaped = &scratch();
                unescaped->append(text_.substr(copiedTo, closing - copiedTo));
                unescaped->append(text_.substr(at_, tail - at_));
                fields.push_back(*unescaped);
            }
            at_ = tail;
        } else {
            std::size_t end = at_;
            while (end < size && text_[end] != separator_ && text_[end] != '\n' && text_[end] != '\r') ++end;
            fields.push_back(text_.substr(at_, end - at_));
            at_ = end;
        }
        // What ends the field.
        if (at_ >= size) return true;
        const char c = text_[at_++];
        if (c == separator_) continue;
        if (c == '\r' && at_ < size && text_[at_] == '\n') ++at_;
        ++line_;
        return true;
    }
}

char detectSeparator(std::string_view text) {
    constexpr std::array<char, 4> candidates = {'\t', ';', '|', ','};
    constexpr int kSampleLines = 20;
    std::array<int, 4> firstCount{}, count{};
    std::array<bool, 4> steady = {true, true, true, true};
    int lines = 0;
    bool inQuotes = false;
    // Lines that hold none (blank lines, a title, a one-column file) say nothing.
    auto endLine = [&] {
        if (count == std::array<int, 4>{}) return;
        for (std::size_t k = 0; k < candidates.size(); ++k) {
            if (lines == 0) firstCount[k] = count[k];
            steady[k] = steady[k] && count[k] == firstCount[k];
        }
        ++lines;
        count.fill(0);
    };
    for (std::size_t i = 0; i < text.size() && lines < kSampleLines; ++i) {
        const char c = text[i];
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes) continue;
        if (c == '\n' || c == '\r') {
            endLine();
            continue;
        }
        for (std::size_t k = 0; k < candidates.size(); ++k) count[k] += c == candidates[k];
    }
    if (lines < kSampleLines) endLine();
    for (std::size_t k = 0; k < candidates.size(); ++k)
        if (steady[k] && firstCount[k] > 0) return candidates[k];
    // No steady one: the most frequent in the first line; commas win ties.
    std::size_t best = 3;
    for (std::size_t k = 0; k < candidates.size(); ++k)
        if (firstCount[k] > firstCount[best]) best = k;
    return candidates[best];
}

}  // namespace zorvane_cli

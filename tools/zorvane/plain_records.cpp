#include "plain_records.hpp"

#include <cstring>

namespace zorvane_cli {

bool PlainRecordSplitter::next(std::vector<std::string_view>& fields) {
    auto find = [](const char* from, const char* to, char c) {
        return static_cast<const char*>(std::memchr(from, c, static_cast<std::size_t>(to - from)));
    };
    for (;;) {
        recordLine_ = line_;
        if (at_ == end_) return false;
        const char* lineEnd = find(at_, end_, '\n');
        if (!lineEnd) lineEnd = end_;
        // A carriage return ends the record too, alone or before the '\n'.
        const char* recordEnd = find(at_, lineEnd, '\r');
        if (!recordEnd) recordEnd = lineEnd;
        fields.clear();
        const char* field = at_;
        while (const char* separator = find(field, recordEnd, separator_)) {
            fields.emplace_back(field, static_cast<std::size_t>(separator - field));
            field = separator + 1;
        }
        fields.emplace_back(field, static_cast<std::size_t>(recordEnd - field));
        // Past what ends the record; the text's end ends the last one without a line.
        if (recordEnd != end_) {
            ++line_;
            at_ = recordEnd + 1;
            if (*recordEnd == '\r' && at_ != end_ && *at_ == '\n') ++at_;
        } else {
            at_ = end_;
        }
        if (fields.size() > 1 || !fields[0].empty()) return true;  // a blank line is no record
    }
}

}  // namespace zorvane_cli

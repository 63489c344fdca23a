#include "plain_records.hpp"

#include <cstdint>
#include <cstring>

#include "byte_marks.hpp"

namespace zorvane_cli {

bool PlainRecordSplitter::next(std::vector<std::string_view>& fields) {
    const char* const end = end_;
    const char separator = separator_;
    for (;;) {
        recordLine_ = line_;
        if (at_ == end) return false;
        const auto* newline = static_cast<const char*>(std::memchr(at_, '\n', static_cast<std::size_t>(end - at_)));
        const char* const lineEnd = newline ? newline : end;
        // Separators and a carriage return (which ends the record too, alone
        // or before the '\n') found sixteen bytes at a time, without a call
        // per field: a row's cells are a few bytes each. The line's last few
        // bytes too while the text holds sixteen from there (those past the
        // line masked off); the text's last few one by one.
        fields.clear();
        const char* field = at_;
        const char* recordEnd = lineEnd;
        const char* at = at_;
        for (; at < lineEnd && end - at >= 16 && recordEnd == lineEnd; at += 16) {
            std::uint32_t marks = bytesEqualEither(at, separator, '\r');
            if (lineEnd - at < 16) marks &= (std::uint32_t{1} << (lineEnd - at)) - 1;
            for (; marks; marks &= marks - 1) {
                const char* const mark = at + __builtin_ctz(marks);
                if (*mark == '\r') {
                    recordEnd = mark;
                    break;
                }
                fields.emplace_back(field, static_cast<std::size_t>(mark - field));
                field = mark + 1;
            }
        }
        for (; at < lineEnd && recordEnd == lineEnd; ++at) {
            if (*at == '\r') {
                recordEnd = at;
            } else if (*at == separator) {
                fields.emplace_back(field, static_cast<std::size_t>(at - field));
                field = at + 1;
            }
        }
        fields.emplace_back(field, static_cast<std::size_t>(recordEnd - field));
        // Past what ends the record; the text's end ends the last one without a line.
        if (recordEnd != end) {
            ++line_;
            at_ = recordEnd + 1;
            if (*recordEnd == '\r' && at_ != end && *at_ == '\n') ++at_;
        } else {
            at_ = end;
        }
        if (fields.size() > 1 || !fields[0].empty()) return true;  // a blank line is no record
    }
}

}  // namespace zorvane_cli

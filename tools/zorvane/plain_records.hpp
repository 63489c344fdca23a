// Splits text that holds no double quote into records, exactly as
// RecordSplitter splits it, in a fraction of the time: memchr finds each
// line end, and one pass over the line sixteen bytes at a time its separators
// and a carriage return. The block reader uses it for the bulk of a large file.
#pragma once

#include <string_view>
#include <vector>

namespace zorvane_cli {

class PlainRecordSplitter {
public:
    PlainRecordSplitter(std::string_view text, std::size_t offset, long line, char separator)
        : at_(text.data() + offset), end_(text.data() + text.size()), line_(line), separator_(separator) {}

    // The next record that is not blank; false at the end. The fields point into the text.
    bool next(std::vector<std::string_view>& fields);

    long line() const { return recordLine_; }  // where the last record began
    long nextLine() const { return line_; }    // where the next one begins

private:
    const char* at_;
    const char* end_;
    long line_, recordLine_ = 0;
    char separator_;
};

}  // namespace zorvane_cli

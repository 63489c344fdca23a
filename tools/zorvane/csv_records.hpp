// Splits CSV text into records: fields separated by one character; a field
// in double quotes may hold separators, line breaks and doubled quotes.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane_cli {

class RecordSplitter {
public:
    RecordSplitter(std::string_view text, std::size_t offset, long line, std::string source, char separator)
        : text_(text), at_(offset), line_(line), source_(std::move(source)), separator_(separator) {}

    // The next record that is not blank; false at the end. The fields stay
    // valid until the next call. Throws InputError for an unclosed quote.
    bool next(std::vector<std::string_view>& fields);

    long line() const { return recordLine_; }     // where the last record began
    long nextLine() const { return line_; }       // where the next one begins
    std::size_t offset() const { return at_; }   // where the next one begins

private:
    bool readRecord(std::vector<std::string_view>& fields, bool& quoted);
    std::string& scratch();

    std::string_view text_;
    std::size_t at_;
    long line_, recordLine_ = 0;
    std::string source_;
    char separator_;
    std::deque<std::string> scratch_;  // unescaped quoted fields; a deque keeps them in place
    std::size_t scratchUsed_ = 0;
};

// The separator of the text: among TAB, semicolon, '|' and comma, the one
// each of the first lines that hold any of them holds equally often (a comma
// only when none of the others does, since it also appears inside numbers);
// else the most frequent in the first such line.
char detectSeparator(std::string_view text);

}  // namespace zorvane_cli

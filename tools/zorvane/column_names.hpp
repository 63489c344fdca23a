// Column names as platforms write them: matched ignoring case, accents,
// brackets, quotes and punctuation, with the usual names for the same
// column in other languages (Hoch, Plus haut, Máximo, Massimo, Максимум...).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane_cli {

// The form names are compared in: lower case, accents dropped, ASCII
// punctuation and spaces removed ("<HIGH>" and "High " both give "high").
std::string nameKey(std::string_view utf8Name);

class ColumnNames {
public:
    // Names as they stand in the file (any encoding).
    explicit ColumnNames(std::vector<std::string> names);

    std::size_t size() const { return names_.size(); }
    const std::string& operator[](std::size_t column) const { return names_[column]; }
    const std::vector<std::string>& all() const { return names_; }

    // The column `wanted` names: the first with the same key, else the first
    // whose name is a synonym of it (for "high": Hoch, Max, ...); failing
    // both, the same for the names' short forms ("High (USD)", "AAPL.High").
    std::optional<std::size_t> find(std::string_view wanted) const;

    // Named like a date, a time of day or a timestamp.
    bool namesTime(std::size_t column) const;

private:
    std::vector<std::string> names_;
    std::vector<std::vector<std::string>> keys_;       // one per readable encoding
    std::vector<std::vector<std::string>> shortKeys_;  // of the short forms
};

// The synonyms of the high and low columns, for the help text.
std::string highLowSynonyms();

}  // namespace zorvane_cli

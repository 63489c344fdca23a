// Bad input: the message names the source, line, column and offending text.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zorvane_cli {

class InputError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Text from the input fit for a message: control bytes shown as '?', long text cut.
inline std::string printable(std::string_view text) {
    std::string shown(text.substr(0, 200));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
    return text.size() > 200 ? shown + "..." : shown;
}

}  // namespace zorvane_cli

// Text placed in SVG or HTML markup.
#pragma once

#include <string>

namespace zorvane_cli {

// `text` with &, <, > and " replaced by their entities.
std::string escapedMarkup(const std::string& text);

}  // namespace zorvane_cli

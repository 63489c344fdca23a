// The report page's parts, built into the program: the page template, its
// style and script (report_page/), and the pinned uPlot (third_party/uplot/).
#pragma once

#include <string_view>

namespace zorvane_cli::report_assets {

std::string_view pageTemplate();
std::string_view pageStyle();
std::string_view pageScript();
std::string_view uplotStyle();
std::string_view uplotScript();
std::string_view uplotLicence();

}  // namespace zorvane_cli::report_assets

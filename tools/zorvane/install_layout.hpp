// Where the program finds the module it loads and the sample bars, relative
// to its own location, so that an installed tree works wherever it is put
// (/usr, /usr/local, a folder under home, an unpacked archive) with no
// environment set.
#pragma once

#include <string>

namespace zorvane_cli {

// The environment variable that names the module file to load; --module
// overrides it.
inline constexpr const char* kModuleVariable = "ZORVANE_MODULE";

// The module file to load: the --module option if given, else the file
// named by ZORVANE_MODULE if set, else the module beside the program (a
// build tree) if present, else the installed module in the library folder
// relative to the program.
std::string modulePath(const std::string& option);

// The bundled sample bars, in the data folder relative to the program.
std::string sampleBarsPath();

}  // namespace zorvane_cli

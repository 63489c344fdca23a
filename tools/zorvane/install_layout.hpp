// Where the program finds the sample bars, relative to its own location, so
// that an installed tree works wherever it is put (/usr, /usr/local, a
// folder under home, an unpacked archive) with no environment set; and
// which module, if any, the user asked it to compute with.
#pragma once

#include <string>

namespace zorvane_cli {

// The environment variable that names the module file to load; --module
// overrides it.
inline constexpr const char* kModuleVariable = "ZORVANE_MODULE";

// The module file the user chose: the --module option if given, else the
// file ZORVANE_MODULE names; "" for none, when the built-in library (the
// same code as the module) computes.
std::string chosenModule(const std::string& option);

// The bundled sample bars, in the data folder relative to the program.
std::string sampleBarsPath();

}  // namespace zorvane_cli

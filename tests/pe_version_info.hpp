// The version resource of a Windows executable or DLL, read from its file
// on any system: the fixed file information and the strings Explorer shows
// under Properties > Details.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace testing_support {

struct PeVersionInfo {
    bool found = false;
    std::uint16_t fileVersion[4] = {}, productVersion[4] = {};
    std::uint32_t fileType = 0;
    std::map<std::string, std::string> strings;  // e.g. "FileVersion" -> "1.0.0" (ASCII text)
};

PeVersionInfo readPeVersionInfo(const std::string& path);

}  // namespace testing_support

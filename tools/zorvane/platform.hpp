// What differs between operating systems for the command-line host, in one
// place: loading the module, the program's own folder, the command line and
// paths in Unicode, replacing a file in one step, whether a person watches
// standard error, and a second thread. The rest of the tool works on UTF-8 strings and
// is one code base.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zorvane_cli {

// The characters that end a folder's name in a path.
extern const char* const kPathSeparators;

// Standard input, output and error pass bytes unchanged (no line-end
// translation), so that a CSV written to standard output has the same bytes
// everywhere; a console shows UTF-8 text as such.
void prepareStandardStreams();

// The command line in UTF-8, as argc and argv, whatever the system's code page.
class Arguments {
public:
    Arguments(int argc, char** argv);
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    int count() const { return static_cast<int>(texts_.size()); }
    char** values() { return pointers_.data(); }

private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;
};

// A UTF-8 path as the file system names it.
inline std::filesystem::path nativePath(const std::string& utf8) { return std::filesystem::u8path(utf8); }

// The folder this program's executable lives in, with a trailing separator, in UTF-8.
std::string executableFolder();

// Whether standard error is a terminal or console rather than a file or pipe.
bool standardErrorIsConsole();

// A loaded shared library; an empty `reason` means success.
void* loadLibrary(const std::string& path, std::string& reason);
void* findSymbol(void* library, const char* name, std::string& reason);
void freeLibrary(void* library);

// Makes a new empty file beside `path` (same folder, name derived from it)
// that no other run can have chosen, and returns its name.
// Throws std::runtime_error("cannot write PATH: reason").
std::string createFileBeside(const std::string& path);

// Sets aside room on disk for `bytes` of `path` from its start, its size
// unchanged, where the file system can (Linux); nothing otherwise, and
// nothing on failure: it is only a hint. On ext4, replacing a file forces
// out the new one's blocks still to be allocated, and with them the writing
// of the whole file, which the next replacement then waits for. With room
// for all of it set aside there is nothing to force (a 77 MB output
// replaced in 3.5 instead of about 20 ms); room for only part of it saves
// nothing.
void setAsideFileSpace(const std::string& path, std::uint64_t bytes);
// Gives back the room set aside past the end of `path`; a hint too.
void releaseFileSpacePastEnd(const std::string& path);

// Puts `from` in the place of `to` in one step: a reader sees the old file
// or the new one, never a part. Throws std::runtime_error("cannot write TO: reason").
void replaceFile(const std::string& from, const std::string& to);

// Runs `here` on this thread while `there` runs on another, and returns
// when both are done; neither may throw. False, having run nothing, where
// no thread can be started.
bool runOnTwoThreads(const std::function<void()>& here, const std::function<void()>& there);

// Runs `first` on this thread while `second` runs on another, and returns
// when both are done; what either threw is thrown here, the first's before
// the second's. Where no thread can be started, one after the other: the
// tasks never depend on running at once.
void runTogether(const std::function<void()>& first, const std::function<void()>& second);

}  // namespace zorvane_cli

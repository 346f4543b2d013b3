#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "plugin/samples/sample_set.h"

namespace {

// Any address inside this file's binary tells the loader which object we are in.
const char anchor = 0;

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

std::string canonical(const char* path) {
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr) {
        return {};
    }
    std::string result(resolved);
    free(resolved);
    return result;
}

}  // namespace

std::string findPluginDirectory() {
    Dl_info info{};
    if (dladdr(&anchor, &info) != 0 && info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        // Made absolute now: a relative load path would break once the host
        // changes its current directory, and treatments reload files later.
        const std::string resolved = canonical(info.dli_fname);
        if (!resolved.empty()) {
            return directoryOf(resolved);
        }
    }
    // Code linked into a program rather than a library lives in the program file.
    const std::string program = canonical("/proc/self/exe");
    if (!program.empty()) {
        return directoryOf(program);
    }
    char current[PATH_MAX];
    if (getcwd(current, sizeof current) != nullptr) {
        return current;
    }
    return ".";
}

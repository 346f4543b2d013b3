#include "tests/samples/test_support.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <stdexcept>

#include "plugin/vst/plugin_message.h"

namespace testsupport {

namespace {

std::vector<std::pair<std::string, std::string>> recorded;

void record(const char* text, const char* caption) {
    recorded.emplace_back(text, caption);
}

}  // namespace

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    writeFile(path, Bytes(text.begin(), text.end()));
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("korvane-samples-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

MessageRecorder::MessageRecorder() {
    recorded.clear();
    setPluginMessageHandler(&record);
}

MessageRecorder::~MessageRecorder() {
    setPluginMessageHandler(nullptr);
}

const std::vector<std::pair<std::string, std::string>>& MessageRecorder::messages() const {
    return recorded;
}

void MessageRecorder::clear() {
    recorded.clear();
}

}  // namespace testsupport

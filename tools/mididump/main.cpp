// korvane-mididump: loads a Standard MIDI File the way KorvaneApp does and
// prints the song, or another view of it chosen by an option. Reports of the
// MIDI library go to standard error; the tool never opens a window.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/midi/midi_format0_data.h"
#include "app/platform/app_message.h"
#include "tools/mididump/schedule_mode.h"
#include "tools/mididump/song_dump.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;  // the file cannot be read, or the output not written

// A view of a loaded song. New views (for instance the player's schedule) are
// one more entry in kModes.
struct DumpMode {
    const char* option;  // nullptr: the view without an option
    const char* summary;
    void (*write)(const CMidiFormat0Data& song, std::FILE* out);
};

void writeSong(const CMidiFormat0Data& song, std::FILE* out) {
    WriteSongDump(song, out);
}

void writePlayCopy(const CMidiFormat0Data& song, std::FILE* out) {
    std::unique_ptr<CMidiFormat0Data> copy(song.MakePlayCopy());
    WriteSongDump(*copy, out);
}

constexpr DumpMode kModes[] = {
    {nullptr, "the song as loaded (note form, the file's ticks)", &writeSong},
    {"--play-copy", "the copy playback makes (96 ticks per quarter note, on/off form)",
     &writePlayCopy},
    {"--schedule", "the player's schedule on the virtual timer (callbacks, output, end)",
     &WriteSchedule},
};

void printUsage(std::FILE* out) {
    std::fputs("usage: korvane-mididump [OPTION] FILE\n", out);
    for (const DumpMode& mode : kModes) {
        std::fprintf(out, "  %-14s %s\n", mode.option ? mode.option : "(none)", mode.summary);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const DumpMode* mode = &kModes[0];
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            printUsage(stdout);
            return 0;
        }
        if (arg[0] == '-' && arg[1] == '-' && path == nullptr && mode == &kModes[0]) {
            const DumpMode* chosen = nullptr;
            for (const DumpMode& candidate : kModes) {
                if (candidate.option != nullptr && std::strcmp(candidate.option, arg) == 0) {
                    chosen = &candidate;
                }
            }
            if (chosen == nullptr) {
                std::fprintf(stderr, "korvane-mididump: unknown option %s\n", arg);
                printUsage(stderr);
                return kExitUsage;
            }
            mode = chosen;
            continue;
        }
        if (path != nullptr) {
            printUsage(stderr);
            return kExitUsage;
        }
        path = arg;
    }
    if (path == nullptr) {
        printUsage(stderr);
        return kExitUsage;
    }

    setAppMessageHandler([](const std::string& text, const std::string&) {
        std::fprintf(stderr, "korvane-mididump: %s\n", text.c_str());
    });
    CMidiFormat0Data song(path, kSongCapacity);
    if (!song.FileOpened()) {
        return kExitFailure;
    }
    mode->write(song, stdout);
    return std::fflush(stdout) == 0 ? 0 : kExitFailure;
}

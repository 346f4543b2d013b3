// korvane-mididump run as a process on files built here.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class MididumpTool : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("korvane-mididump-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string Write(const std::string& name, const Bytes& bytes) {
        std::filesystem::path file = dir_ / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

    ToolRun Dump(const std::string& arguments) {
        ToolRun run;
        const std::string errFile = (dir_ / "stderr.txt").string();
        const std::string command =
            std::string("'") + KORVANE_MIDIDUMP + "' " + arguments + " 2>'" + errFile + "'";
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            run.out.append(buffer, got);
        }
        int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream err(errFile);
        run.err.assign(std::istreambuf_iterator<char>(err), {});
        return run;
    }

    std::filesystem::path dir_;
};

Bytes Chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    for (int i = 3; i >= 0; --i) {
        out.push_back(static_cast<unsigned char>(body.size() >> (8 * i)));
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Join(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// Format 0 at 480 ticks: tempo, program change, a note of one quarter (note
// off as note on of velocity 0), End-of-Track one quarter later.
const Bytes kFormat0 =
    Join({Chunk("MThd", {0, 0, 0, 1, 0x01, 0xE0}),
          Chunk("MTrk", {0,    0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0,    0xC3, 0x05, 0,   0x93,
                         0x3C, 0x64, 0x83, 0x60, 0x3C, 0x00, 0x83, 0x60, 0xFF, 0x2F, 0x00})});

TEST_F(MididumpTool, PrintsTheSong) {
    ToolRun run = Dump("'" + Write("a.mid", kFormat0) + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "division 480 state 2 events 4\n"
              "0 0 0 FF 255 0 0 0 81 500000 0 -\n"
              "1 0 0 C0 3 0 0 0 0 5 2 C305\n"
              "2 0 0 10 3 60 100 480 0 0 3 933C64\n"
              "3 960 960 FF 255 0 0 0 47 0 0 -\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(MididumpTool, PrintsThePlayCopy) {
    ToolRun run = Dump("--play-copy '" + Write("a.mid", kFormat0) + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "division 96 state 1 events 5\n"
              "0 0 0 FF 255 0 0 0 81 500000 0 -\n"
              "1 0 0 C0 3 0 0 0 0 5 2 C305\n"
              "2 0 0 90 3 60 100 0 0 0 3 933C64\n"
              "3 96 96 80 3 60 64 0 0 0 0 -\n"
              "4 192 96 FF 255 0 0 0 47 0 0 -\n");
}

TEST_F(MididumpTool, Format1WithExclusiveData) {
    Bytes file =
        Join({Chunk("MThd", {0, 1, 0, 2, 0, 96}),
              Chunk("MTrk", {0, 0xFF, 0x03, 0x02, 'H', 'i', 0, 0xFF, 0x2F, 0x00}),
              Chunk("MTrk", {0, 0x90, 0x40, 0x50, 0x60, 0x80, 0x40, 0x00, 0, 0xFF, 0x2F, 0})});
    ToolRun run = Dump("'" + Write("b.mid", file) + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "division 96 state 2 events 5\n"
              "0 0 0 FF 255 0 0 0 3 0 2 4869\n"
              "1 0 0 FF 255 0 0 0 3 0 2 4869\n"
              "2 0 0 F0 255 0 0 0 1 127 9 F0077F7F0401007FF7\n"
              "3 0 0 10 0 64 80 96 0 0 3 904050\n"
              "4 96 96 FF 255 0 0 0 47 0 0 -\n");
}

TEST_F(MididumpTool, ReportsGoToStandardError) {
    ToolRun run = Dump("'" + Write("c.mid", Bytes(300, 'x')) + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "division 0 state 2 events 0\n");
    EXPECT_NE(run.err.find(
                  "M1DT03000004 Midiファイルではないか、ファイルにマックバイナリがついています。"),
              std::string::npos);
    EXPECT_NE(run.err.find("M1DT03000003"), std::string::npos);

    // The empty song's play copy: no events to convert, so no further report.
    ToolRun copy = Dump("--play-copy '" + Write("c.mid", Bytes(300, 'x')) + "'");
    EXPECT_EQ(copy.status, 0);
    EXPECT_EQ(copy.out, "division 96 state 1 events 0\n");
    EXPECT_EQ(copy.err.find("MDTK"), std::string::npos) << copy.err;
}

TEST_F(MididumpTool, SchedulePlaysTheSongOnTheVirtualClock) {
    ToolRun run = Dump("--schedule '" + Write("a.mid", kFormat0) + "'");
    EXPECT_EQ(run.status, 0);
    // The start announcement and General MIDI system on come first, the end last.
    EXPECT_EQ(run.out.rfind("cb 0 0 0 - - - -\nout 0 F07E7F0901F7\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find(" 933C64\n"), std::string::npos) << run.out;
    const std::size_t last = run.out.rfind("\nend ");
    ASSERT_NE(last, std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\n', last + 1), run.out.size() - 1);
}

TEST_F(MididumpTool, FailuresOfTheCommand) {
    ToolRun missing = Dump("'" + (dir_ / "missing.mid").string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("GENE01000007"), std::string::npos);

    EXPECT_EQ(Dump("").status, 2);
    EXPECT_EQ(Dump("--no-such-mode x.mid").status, 2);
    EXPECT_EQ(Dump("a.mid b.mid").status, 2);
    ToolRun help = Dump("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--play-copy"), std::string::npos);
}

}  // namespace

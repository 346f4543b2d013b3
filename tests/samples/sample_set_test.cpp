#include "plugin/samples/sample_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tests/samples/test_support.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// A plug-in directory with SampleData holding a.wav, b.wav and c.wav (each one
// frame long, of values 1, 2 and 3) and the given text files (none when null).
class SampleDir {
  public:
    SampleDir(const char* samplesTxt, const char* programsTxt) {
        fs::create_directories(data());
        writeFile(data() / "a.wav", wav16(1, {1}));
        writeFile(data() / "b.wav", wav16(1, {2}));
        writeFile(data() / "c.wav", wav16(1, {3}));
        if (samplesTxt != nullptr) {
            writeText(data() / "samples.txt", samplesTxt);
        }
        if (programsTxt != nullptr) {
            writeText(data() / "programs.txt", programsTxt);
        }
    }
    fs::path data() const { return dir.path() / "SampleData"; }
    std::string root() const { return dir.path().string(); }

    std::unique_ptr<SampleSet> load() const {
        auto set = std::make_unique<SampleSet>();
        set->loadSampleSet(root());
        return set;
    }

  private:
    TempDir dir;
};

const char* const kThreeSamples = "a.wav,A,60\nb.wav,B,64\nc.wav,C,72\n";

double keyFrequency(int key) {
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

}  // namespace

TEST(SampleSet, ReadsTheGrandPianoExample) {
    TempDir dir;
    fs::create_directories(dir.path() / "SampleData");
    for (const char* name : {"grand_c2.wav", "grand_c4.wav", "grand_c6.wav"}) {
        writeFile(dir.path() / "SampleData" / name, wav16(1, {100, 200}));
    }
    writeText(dir.path() / "SampleData" / "samples.txt",
              "grand_c2.wav,Grand C2,36\ngrand_c4.wav,Grand C4,60\ngrand_c6.wav,Grand C6,84\n");
    writeText(dir.path() / "SampleData" / "programs.txt",
              "Program\nP,1.0,2,Grand\nS,0,47,grand_c2.wav\nS,48,71,Grand_C4.WAV\n"
              "S,72,127,grand_c6.wav\nEnd\n");
    MessageRecorder messages;
    SampleSet set;
    set.loadSampleSet(dir.path().string());
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(set.pluginDirectory, dir.path().string());
    ASSERT_EQ(set.sampleCount, 3);
    EXPECT_NEAR(set.samples[0].rootFrequency, 65.406, 0.001);
    EXPECT_NEAR(set.samples[1].rootFrequency, 261.626, 0.001);
    EXPECT_NEAR(set.samples[2].rootFrequency, 1046.502, 0.001);
    EXPECT_EQ(set.samples[1].name, "Grand C4");
    EXPECT_EQ(set.samples[1].getSample(1, 0), 200);

    const SamplerProgram& grand = set.programs[0];
    EXPECT_STREQ(grand.programName, "Grand");
    EXPECT_EQ(grand.volume, 1.0f);
    EXPECT_EQ(grand.pitchBendRange, 2);
    ASSERT_EQ(grand.zoneCount(), 3);
    EXPECT_EQ(grand.zones[1].sampleIndex, 1);  // matched without regard to case

    set.buildKeyMap(0);
    EXPECT_EQ(set.keyMap[0], 0);
    EXPECT_EQ(set.keyMap[47], 0);
    EXPECT_EQ(set.keyMap[48], 1);
    EXPECT_EQ(set.keyMap[71], 1);
    EXPECT_EQ(set.keyMap[72], 2);
    EXPECT_EQ(set.keyMap[127], 2);

    for (int p = 1; p < SampleSet::kProgramCount; ++p) {
        EXPECT_STREQ(set.programs[static_cast<std::size_t>(p)].programName, "Default");
        EXPECT_EQ(set.programs[static_cast<std::size_t>(p)].zoneCount(), 0);
    }
    set.buildKeyMap(1);
    for (int key = 0; key < 128; ++key) {
        EXPECT_EQ(set.keyMap[static_cast<std::size_t>(key)], 0);
    }
}

TEST(SampleSet, SampleListLines) {
    struct Taken {
        const char* fileName;
        const char* name;
        int rootKey;
        std::int16_t firstValue;  // 0 for a file that did not load
    };
    struct Case {
        const char* what;
        const char* samplesTxt;
        std::vector<Taken> taken;
        std::size_t messages;
    };
    const std::vector<Case> cases = {
        {"an empty middle field leaves two fields: skipped",
         "a.wav,,60\nb.wav,B,61\n",
         {{"b.wav", "B", 61, 2}},
         0},
        {"two fields skipped, extra fields ignored",
         "a.wav,A\na.wav,A,60,extra\n",
         {{"a.wav", "A", 60, 1}},
         0},
        {"spaces before the key, a key that is no number",
         "b.wav,B, 60\nc.wav,C,x\n",
         {{"b.wav", "B", 60, 2}, {"c.wav", "C", 0, 3}},
         0},
        {"leading and doubled commas, CR LF, no final line break",
         ",,b.wav,,B b,,61\r\nc.wav,C,62",
         {{"b.wav", "B b", 61, 2}, {"c.wav", "C", 62, 3}},
         0},
        {"a file that does not load still takes its slot",
         "gone.wav,Gone,50\na.wav,A,51\n",
         {{"gone.wav", "Gone", 50, 0}, {"a.wav", "A", 51, 1}},
         1},
        {"empty lines and an empty file name line",
         "\n\n,,\na.wav,A,1\n",
         {{"a.wav", "A", 1, 1}},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SampleDir dir(c.samplesTxt, "");
        MessageRecorder messages;
        auto set = dir.load();
        EXPECT_EQ(messages.messages().size(), c.messages);
        ASSERT_EQ(set->sampleCount, static_cast<std::int32_t>(c.taken.size()));
        for (std::size_t i = 0; i < c.taken.size(); ++i) {
            const WaveSample& s = set->samples[i];
            EXPECT_EQ(s.fileName, c.taken[i].fileName);
            EXPECT_EQ(s.name, c.taken[i].name);
            EXPECT_DOUBLE_EQ(s.rootFrequency, keyFrequency(c.taken[i].rootKey));
            EXPECT_EQ(s.getSample(0, 0), c.taken[i].firstValue);
        }
    }
}

TEST(SampleSet, RootKeyThatIsNoNumberPlaysAtKeyZero) {
    SampleDir dir("a.wav,A,x\n", "");
    auto set = dir.load();
    EXPECT_NEAR(set->samples[0].rootFrequency, 8.1758, 0.0001);
}

TEST(SampleSet, SampleTableNeverGrowsPastItsSlots) {
    std::string text;
    for (int i = 0; i < SampleSet::kSampleSlots + 12; ++i) {
        text += (i % 2 == 0 ? "a.wav,A," : "b.wav,B,") + std::to_string(i % 128) + "\n";
    }
    SampleDir dir(text.c_str(), "");
    auto set = dir.load();
    EXPECT_EQ(set->sampleCount, SampleSet::kSampleSlots);
    EXPECT_EQ(set->samples.size(), static_cast<std::size_t>(SampleSet::kSampleSlots));
    EXPECT_EQ(set->samples.back().getSample(0, 0), 2);
}

struct ProgramExpect {
    int program;
    const char* name;
    float volume;
    int pitchBendRange;
    std::vector<std::array<int, 3>> zones;  // low, high, sample index
};

void expectProgram(const SampleSet& set, const ProgramExpect& e) {
    SCOPED_TRACE("program " + std::to_string(e.program));
    const SamplerProgram& p = set.programs[static_cast<std::size_t>(e.program)];
    EXPECT_STREQ(p.programName, e.name);
    EXPECT_EQ(p.volume, e.volume);
    EXPECT_EQ(p.pitchBendRange, e.pitchBendRange);
    ASSERT_EQ(p.zoneCount(), static_cast<int>(e.zones.size()));
    for (std::size_t i = 0; i < e.zones.size(); ++i) {
        EXPECT_EQ(p.zones[i].lowKey, e.zones[i][0]);
        EXPECT_EQ(p.zones[i].highKey, e.zones[i][1]);
        EXPECT_EQ(p.zones[i].sampleIndex, e.zones[i][2]);
    }
}

TEST(SampleSet, ProgramListBlocks) {
    struct Case {
        const char* what;
        std::string programsTxt;
        std::vector<ProgramExpect> expect;
    };
    const std::string longJunk(254, 'x');
    const std::vector<Case> cases = {
        {"keywords are whole, case-sensitive lines",
         "Program\nS,0,10,b.wav\nprogram\nS,11,20,c.wav\nEND\nEnd \nEnd\n",
         {{0, "Default", 1.0f, 2, {{0, 10, 1}, {11, 20, 2}}}, {1, "Default", 1.0f, 2, {}}}},
        {"a block without Program continues the list",
         "Program\nP,0.5,7,One\nS,0,10,b.wav\nEnd\nP,0.25,3,Two\nS,20,30,c.wav\nEnd\n",
         {{0, "One", 0.5f, 7, {{0, 10, 1}}}, {1, "Two", 0.25f, 3, {{0, 10, 1}, {20, 30, 2}}}}},
        {"a name is cut to 24 characters",
         "Program\nP,1.0,2,ABCDEFGHIJKLMNOPQRSTUVWXYZ\nEnd\n",
         {{0, "ABCDEFGHIJKLMNOPQRSTUVWX", 1.0f, 2, {}}}},
        {"P before Program; a first field Piano counts as P; spaces kept",
         "P,0.8,12,Before\nProgram\nPiano, 0.9,5,Soft Grand \nEnd\n",
         {{0, "Soft Grand ", 0.9f, 5, {}}}},
        {"S names: leading space, unknown file and upper case",
         "Program\nS,0,1, b.wav\nS,2,3,nothere.wav\nS,4,5,C.WAV\nEnd\n",
         {{0, "Default", 1.0f, 2, {{0, 1, 0}, {2, 3, 0}, {4, 5, 2}}}}},
        {"last line without a line break; CR LF breaks",
         "Program\r\nP,0.5,4,Crlf\r\nS,0,1,b.wav\r\nEnd",
         {{0, "Crlf", 0.5f, 4, {{0, 1, 1}}}}},
        {"P and S lines with fewer than four fields are ignored",
         "Program\nP,0.5,4\nS,0,1\nS,2,3,b.wav\nEnd\n",
         {{0, "Default", 1.0f, 2, {{2, 3, 1}}}}},
        {"a line longer than 254 characters is read as two",
         "Program\nS,0,1,b.wav\n" + longJunk + "End\n",
         {{0, "Default", 1.0f, 2, {{0, 1, 1}}}}},
        {"a line of 256 characters splits elsewhere",
         "Program\nS,0,1,b.wav\n" + longJunk.substr(1) + "End\n",
         {{0, "Default", 1.0f, 2, {}}}},
        {"key numbers are kept as written",
         "Program\nS,-5,3,b.wav\nS,120,300,c.wav\nEnd\n",
         {{0, "Default", 1.0f, 2, {{-5, 3, 1}, {120, 300, 2}}}}},
        {"an empty file", "", {{0, "Default", 1.0f, 2, {}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SampleDir dir(kThreeSamples, c.programsTxt.c_str());
        MessageRecorder messages;
        auto set = dir.load();
        EXPECT_TRUE(messages.messages().empty());
        for (const ProgramExpect& e : c.expect) {
            expectProgram(*set, e);
        }
    }
}

TEST(SampleSet, ProgramTableLimitsDropWhatDoesNotFit) {
    std::string text;
    for (int i = 0; i < SampleSet::kProgramCount + 3; ++i) {
        text += "Program\nP,1.0,2,N" + std::to_string(i) + "\nS,1,1,b.wav\nEnd\n";
    }
    text += "Program\n";
    for (int i = 0; i < SampleSet::kMaxZones + 5; ++i) {
        text += "S," + std::to_string(i % 128) + ",127,c.wav\n";
    }
    text += "End\n";
    SampleDir dir(kThreeSamples, text.c_str());
    auto set = dir.load();
    EXPECT_STREQ(set->programs[128].programName, "N128");
    EXPECT_EQ(set->programs[128].zoneCount(), 1);

    // One block with more zones than a program holds keeps the first 128.
    SampleDir dir2(kThreeSamples, text.substr(text.rfind("Program\n")).c_str());
    auto set2 = dir2.load();
    ASSERT_EQ(set2->programs[0].zoneCount(), SampleSet::kMaxZones);
    EXPECT_EQ(set2->programs[0].zones.back().lowKey, SampleSet::kMaxZones - 1);
}

TEST(SampleSet, KeyMapFollowsZonesInFileOrder) {
    SampleDir dir(kThreeSamples,
                  "Program\nS,60,72,a.wav\nS,64,64,b.wav\nS,90,80,c.wav\nEnd\n"
                  "Program\nS,-5,3,b.wav\nS,120,300,c.wav\nS,-9,-1,a.wav\nS,200,300,b.wav\nEnd\n");
    auto set = dir.load();
    set->buildKeyMap(0);
    for (int key = 0; key < 128; ++key) {
        const int expected = key == 64 ? 1 : (key >= 60 && key <= 72 ? 0 : 0);
        EXPECT_EQ(set->keyMap[static_cast<std::size_t>(key)], expected) << key;
    }
    // Separate the a.wav zone (sample 0) from "no zone" (also 0) by a program
    // where the uncovered keys differ: the reversed zone 90..80 maps nothing.
    set->buildKeyMap(1);
    for (int key = 0; key < 128; ++key) {
        const int expected = key <= 3 ? 1 : (key >= 120 ? 2 : 0);
        EXPECT_EQ(set->keyMap[static_cast<std::size_t>(key)], expected) << key;
    }
    // Program numbers outside the table change nothing.
    const SampleSet::KeyMap before = set->keyMap;
    set->buildKeyMap(129);
    set->buildKeyMap(-1);
    EXPECT_EQ(set->keyMap, before);
}

TEST(SampleSet, OverlappingZonesLaterWins) {
    SampleDir dir("x.wav,X,1\na.wav,A,60\nb.wav,B,64\n",
                  "Program\nS,60,72,a.wav\nS,64,64,b.wav\nEnd\n");
    auto set = dir.load();
    set->buildKeyMap(0);
    for (int key = 0; key < 128; ++key) {
        const int expected = key == 64 ? 2 : (key >= 60 && key <= 72 ? 1 : 0);
        EXPECT_EQ(set->keyMap[static_cast<std::size_t>(key)], expected) << key;
    }
}

TEST(SampleSet, MissingFiles) {
    {
        SCOPED_TRACE("no samples.txt: silent, zones fall back to sample 0");
        SampleDir dir(nullptr, "Program\nS,0,127,b.wav\nEnd\n");
        MessageRecorder messages;
        auto set = dir.load();
        EXPECT_TRUE(messages.messages().empty());
        EXPECT_EQ(set->sampleCount, 0);
        EXPECT_EQ(set->programs[0].zones.at(0).sampleIndex, 0);
    }
    {
        SCOPED_TRACE("no programs.txt: reported with its path, programs keep defaults");
        SampleDir dir(kThreeSamples, nullptr);
        MessageRecorder messages;
        auto set = dir.load();
        EXPECT_EQ(set->sampleCount, 3);
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].first,
                  (dir.data() / "programs.txt").string() + " Program file load failed.");
        EXPECT_EQ(messages.messages()[0].second, "Error");
        EXPECT_STREQ(set->programs[0].programName, "Default");
    }
    {
        SCOPED_TRACE("a directory in place of programs.txt cannot be opened as one");
        SampleDir dir(kThreeSamples, nullptr);
        fs::create_directory(dir.data() / "programs.txt");
        MessageRecorder messages;
        auto set = dir.load();
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].first,
                  (dir.data() / "programs.txt").string() + " Program file load failed.");
    }
}

TEST(SampleSet, FindSampleByFileNameIgnoresAsciiCaseOnly) {
    SampleDir dir("a.wav,A,60\nÄ.wav,Umlaut,61\nA.WAV,Again,62\n", "");
    auto set = dir.load();
    EXPECT_EQ(set->findSampleByFileName("A.wav"), 0);   // the first match
    EXPECT_EQ(set->findSampleByFileName("ä.wav"), -1);  // only A-Z fold
    EXPECT_EQ(set->findSampleByFileName("Ä.WAV"), 1);
    EXPECT_EQ(set->findSampleByFileName("a.wa"), -1);
    EXPECT_EQ(set->findSampleByFileName(""), -1);
    EXPECT_EQ(set->findSampleByFileName(nullptr), -1);
    // Slots past sampleCount are not part of the set even when they carry a name.
    set->samples[10].setFileName("late.wav");
    EXPECT_EQ(set->findSampleByFileName("late.wav"), -1);
}

TEST(SampleSet, PathsBelowThePluginDirectory) {
    SampleSet set;
    set.pluginDirectory = "/";
    EXPECT_EQ(set.sampleDataPath("x.wav"), "/SampleData/x.wav");
    set.pluginDirectory = "/usr/lib/vst";
    EXPECT_EQ(set.sampleDataPath("x.wav"), "/usr/lib/vst/SampleData/x.wav");
}

TEST(SampleSet, PluginDirectoryIsWhereThisCodeIsLoadedFrom) {
    // Linked into this test program, the code lives in the program file.
    const fs::path program = fs::canonical("/proc/self/exe");
    EXPECT_EQ(findPluginDirectory(), program.parent_path().string());
}

TEST(SamplerProgram, SetProgramNameKeeps24Bytes) {
    SamplerProgram p;
    p.setProgramName("123456789012345678901234567890");
    EXPECT_STREQ(p.programName, "123456789012345678901234");
    p.setProgramName(nullptr);
    EXPECT_STREQ(p.programName, "");
}

TEST(DefaultSampleSet, LoadsCompletelyThroughTheInstrumentsOwnReader) {
#ifndef KORVANE_DEFAULT_SAMPLE_DATA
    GTEST_SKIP() << "the build renders no default sample set";
#else
    const fs::path data = KORVANE_DEFAULT_SAMPLE_DATA;
    if (!fs::exists(data / "programs.txt")) {
        GTEST_SKIP() << "not rendered yet: " << data;
    }
    MessageRecorder messages;
    SampleSet set;
    set.loadSampleSet(data.parent_path().string());
    EXPECT_TRUE(messages.messages().empty());
    ASSERT_GT(set.sampleCount, 29);  // at least every third key of the 88
    // Every piano key is covered by a sample at most a tone and a half away, in
    // the first program, and nothing but the zone mapping puts sample 0 on a key.
    set.buildKeyMap(0);
    for (int key = 21; key <= 108; ++key) {
        const WaveSample& s = set.samples[static_cast<std::size_t>(set.keyMap[key])];
        const double semitones =
            12.0 * std::log2(440.0 * std::pow(2.0, (key - 69) / 12.0) / s.rootFrequency);
        EXPECT_LE(std::fabs(semitones), 1.5) << key;
        EXPECT_EQ(s.channels, 1);
        EXPECT_EQ(s.bitsPerSample, 16);
        EXPECT_EQ(s.sampleRate, 44100);
        EXPECT_GT(s.frameCount(), 44100u / 2) << key;
    }
    int programs = 0;
    for (const SamplerProgram& p : set.programs) {
        if (p.zoneCount() > 0) {
            ++programs;
            EXPECT_STRNE(p.programName, "Default");
            // Each zone surrounds the key its sample was recorded at; a file name
            // that did not resolve would have put sample 0 (key 21) there.
            for (const KeyZone& z : p.zones) {
                const double root =
                    69.0 +
                    12.0 * std::log2(
                               set.samples[static_cast<std::size_t>(z.sampleIndex)].rootFrequency /
                               440.0);
                EXPECT_LE(z.lowKey, std::lround(root)) << p.programName;
                EXPECT_GE(z.highKey, std::lround(root)) << p.programName;
            }
        }
    }
    EXPECT_GE(programs, 3);
#endif
}

#include <gtest/gtest.h>

#include "tests/midi/midi_test_support.h"

namespace {

struct LineCase {
    CatalogModule module;
    std::uint32_t code;
    const char* line;
};

class CatalogLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(CatalogLines, FormatsModuleCodeAndMessage) {
    EXPECT_EQ(FormatReportLine(GetParam().module, GetParam().code), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogs, CatalogLines,
    ::testing::Values(
        LineCase{CatalogModule::GENE, 0x01000002, "GENE01000002 メモリーが不足しています。"},
        // A code without an entry takes the module's default message.
        LineCase{CatalogModule::GENE, 0x01000003, "GENE01000003 汎用処理でエラーが発生しました。"},
        LineCase{
            CatalogModule::GENE, 0x01000007,
            "GENE01000007 ファイルが開けませんでした。ファイルリストを絶対パスで記述してみ"
            "てください。\nあるいは、出力フォルダや作業フォルダの設定などを確認してください。"},
        LineCase{CatalogModule::M1DT, 0,
                 "M1DT00000000 Midiのフォーマット１のデータでエラーが発生しました。"},
        LineCase{CatalogModule::M0DT, 0x0400000A,
                 "M0DT0400000A 演奏の停止中に異常が発生しました。"},
        LineCase{CatalogModule::MDPL, 0x08000004,
                 "MDPL08000004 Midiの演奏機能で内部エラーが起きました。"},
        LineCase{CatalogModule::MDSP, 0x09000001,
                 "MDSP09000001 Midiの演奏機能で内部エラーが発生しました。"},
        LineCase{CatalogModule::MDSS, 0x37000002, "MDSS37000002 拍子が異常です。"},
        LineCase{CatalogModule::MDCT, 0x07000002,
                 "MDCT07000002 Midiデバイスのクローズに失敗しました。"},
        LineCase{CatalogModule::MUEV, 0x06000002,
                 "MUEV06000002 イベントのデータでエラーが発生しました。"},
        LineCase{CatalogModule::MDTK, 0x0D00002D,
                 "MDTK0D00002D データ編集の処理に異常が発生しました。"},
        // Upper-case hexadecimal, zero-padded.
        LineCase{CatalogModule::MDTK, 0xABC,
                 "MDTK00000ABC Midiのトラックデータでエラーが発生しました。"},
        // M1TK has only once-only entries: a plain report takes its default.
        LineCase{CatalogModule::M1TK, 0x2E00001A,
                 "M1TK2E00001A Midiのフォーマット1のトラックデータでエラーが発生しました。"}));

class CatalogReports : public ReportRecorder {};

TEST_F(CatalogReports, ShowsTheLineWithTheApplicationTitleAndReturns) {
    ReportGeneralError(0x01000003);
    ReportGeneralError(kGeneCannotOpenFile);  // mended: a failed open no longer ends the process
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "GENE01000003 汎用処理でエラーが発生しました。");
    EXPECT_EQ(captions[0], "KorvaneApp");
    EXPECT_EQ(reports[1].substr(0, 12), "GENE01000007");
}

TEST_F(CatalogReports, OnceOnlyShowsEachWarningOnceUntilCleared) {
    CMidiTrackData::ReportOnce(kTrackBadNoteNumber);
    CMidiTrackData::ReportOnce(kTrackBadNoteNumber);
    CMidiTrackData::ReportOnce(kTrackLargeEvent);  // its own flag
    ASSERT_EQ(ReportCodes(), (std::vector<std::string>{"MDTK0D000017", "MDTK0D00000B"}));
    EXPECT_EQ(
        reports[0],
        "MDTK0D000017 内部処理のエラーでノートナンバーが異常になりましたので０に修正しました。");

    CMidiTrackData::ReportOnce(0);  // clears, shows nothing
    CMidiTrackData::ReportOnce(kTrackBadNoteNumber);
    EXPECT_EQ(CountReports("MDTK0D000017"), 2);
    EXPECT_EQ(reports.size(), 3u);
}

TEST_F(CatalogReports, OnceOnlyOfOtherCodes) {
    // MDTK and M1TK: default message, every time.
    CMidiTrackData::ReportOnce(kTrackInternalError);
    CMidiTrackData::ReportOnce(kTrackInternalError);
    EXPECT_EQ(reports, (std::vector<std::string>(
                           2, "MDTK0D000001 Midiのトラックデータでエラーが発生しました。")));
    reports.clear();
    // The M1TK table holds a code of module 0x03.
    CMidiFormat1TrackData::ReportOnce(0x03000017);
    CMidiFormat1TrackData::ReportOnce(0x03000017);
    EXPECT_EQ(reports,
              (std::vector<std::string>{
                  "M1TK03000017 複数のピッチベンドセンシティビティが設定されていました。"}));
    reports.clear();
    // Flags of one module do not touch another's.
    ReportCatalogOnce(CatalogModule::M0DT, 0x04000007);
    CMidiTrackData::ReportOnce(0);
    ReportCatalogOnce(CatalogModule::M0DT, 0x04000007);
    EXPECT_EQ(reports, (std::vector<std::string>{"M0DT04000007 拍子記号の位置が異常です。"}));
}

TEST(CatalogDeath, OutOfMemoryEndsTheProcessAfterItsReport) {
    EXPECT_EXIT(ReportGeneralError(kGeneOutOfMemory),
                ::testing::ExitedWithCode(static_cast<int>(kGeneOutOfMemory & 0xFF)),
                "GENE01000002 メモリーが不足しています。");
}

}  // namespace

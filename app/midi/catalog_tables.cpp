// The catalog texts are the program's own words and must stay byte for byte as
// they are: users and support quote them by code and text.
#include "app/midi/catalog_tables.h"

namespace {

constexpr CatalogEntry kGene[] = {
    {0x01000002, "メモリーが不足しています。"},
    {0x01000004, "パフォーマンスが低下しています。一旦終了して、再起動してください。"},
    {0x01000005, "ファイルが見つかりませんでした。"},
    {0x01000006, "16進数のデータの記述に誤りがあります。"},
    {0x01000007,
     "ファイルが開けませんでした。ファイルリストを絶対パスで記述してみてください。\nあるいは、出力"
     "フォルダや作業フォルダの設定などを確認してください。"},
    {0x0100000A, "データが大きすぎます。"},
    {0x0100000B, "パラメータに誤りがあります。"},
    {0x0100000C, "カレントディレクトリが取得できませんでした。"},
    {0x0100000D, "ファイルサイズにエラーがあります。"},
    {0x0100000E, "拍子にエラーがあります。"},
};

constexpr CatalogEntry kMdct[] = {
    {0x07000001,
     "Midiデバイスのオープンに失敗しました。連続して発生する場合は、ＰＣを再起動してください。"},
    {0x07000002, "Midiデバイスのクローズに失敗しました。"},
    {0x07000003, "Midiデバイスで音色を変更できませんでした。"},
    {0x07000004, "Midiデバイスでエクスクルーシブを送れませんでした。"},
    {0x07000005, "Midiのパラメータに誤りがあります。"},
};

constexpr CatalogEntry kM0dt[] = {
    {0x04000001, "フォーマット0のファイルではありません。"},
    {0x04000002, "ファイルが開けませんでした。"},
    {0x04000003, "トラック数に誤りがあります。"},
    {0x04000004, "MIDIファイルではないか、ファイルにマックバイナリがついています。"},
    {0x04000005, "Midiのフォーマット0のデータで内部エラーが発生しました。"},
    {0x04000008, "小節数が異常です。"},
    {0x04000009, "演奏データが異常です。"},
    {0x0400000A, "演奏の停止中に異常が発生しました。"},
    {0x0400000B, "ファイルの終端で異常が発生しました。"},
};

constexpr CatalogEntry kM1dt[] = {
    {0x03000001, "トラック数のエラーです。"},
    {0x03000002, "フォーマット１ではありません。"},
    {0x03000003, "Midiのフォーマット１のデータで内部エラーが発生しました。"},
    {0x03000004, "Midiファイルではないか、ファイルにマックバイナリがついています。"},
    {0x03000005, "ファイルを開けませんでした。"},
    {0x03000006, "マスターボリュームが複数設定されています。"},
    {0x03000007,
     "ドラムにプログラムチェンジが設定されています。("
     "または、チャネル10以外をドラムとして使用するシステムエクスクルーシブが設定されています。)"},
    {0x03000008, "扱えない拍子記号が含まれていました。"},
    {0x03000009, "設定されているテンポの数が多すぎます。"},
    {0x0300000A, "複数のSysExTrackがあります。"},
    {0x0300000B, "システムチャネルが重複しています。"},
    {0x0300000C, "チャネルが重複しています。"},
    {0x03000011,
     "複数プログラムチェンジのトラックを分割しようとしましたが、使用できるチャネルがありませんでし"
     "た。"},
    {0x03000012, "ドラムトラックがありませんでした。"},
    {0x03000015, "プログラムチェンジが設定されていないトラックがありましたので０を設定しました。"},
    {0x03000016, "マスターボリュームが設定されていませんでしたので127を設定しました。"},
    {0x03000017, "１つのトラックに複数のピッチベンドセンシティビティが設定されていました。"},
    {0x03000018, "ピッチベンドセンシティビティに０が設定されているトラックがありました。"},
    {0x03000019, "データが大きすぎます。"},
    {0x0300001A, "チャネル数で異常が発生しました。"},
    {0x0300001B, "開始位置で異常が発生しました。"},
    {0x0300001D, "システムエクスクルーシブに異常が発生しました。"},
    {0x0300001E, "チャネルに異常が発生しました。"},
    {0x03000020, "プログラムチェンジに異常が発生しました。"},
    {0x03000021, "内部データに異常が発生しました。"},
};

constexpr CatalogEntry kMdpl[] = {
    {0x08000001, "分解能が大きすぎます。"},
    {0x08000002, "タイマーが使用できませんでした。"},
    {0x08000003, "設定されているテンポが遅すぎます。"},
    {0x08000004, "Midiの演奏機能で内部エラーが起きました。"},
    {0x08000005, "再生位置に誤りがあります。"},
    {0x08000006, "テンポに誤りがあります。"},
    {0x08000007, "演奏情報に誤りがあります。"},
};

constexpr CatalogEntry kMdsp[] = {
    {0x09000001, "Midiの演奏機能で内部エラーが発生しました。"},
};

constexpr CatalogEntry kMdss[] = {
    {0x37000002, "拍子が異常です。"},
};

constexpr CatalogEntry kMdtk[] = {
    {0x0D000001, "Midiのトラックデータで内部エラーが発生しました。"},
    {0x0D000002, "未定義のMIDIイベントが含まれていました。"},
    {0x0D000003, "チャネルに誤りがあります。"},
    {0x0D000005, "テンポに誤りがあります。"},
    {0x0D000006, "データの量が多すぎます。"},
    {0x0D000007, "MIDIファイルではないか、マックバイナリがついているファイルです。"},
    {0x0D000008,
     "ドラムで指定されている音が35(バスドラ)～81(オープントライアングル)"
     "の範囲内にありません。範囲内に調整しました。"},
    {0x0D00000C, "プログラム・チェンジで不正な番号がありました。0に調整しました。"},
    {0x0D00000D, "ノートオンが重複していました。"},
    {0x0D00000E, "ノートオフが重複していました。"},
    {0x0D000010,
     "このアルゴリズムで、トップノートは間引かないという機能は未実装です。(無視されます。)"},
    {0x0D000013, "ドラムのバンクセレクトで０以外の値が設定されていました。"},
    {0x0D000014, "ノートナンバーの異常が検出されました。"},
    {0x0D000015, "Midiのトラックデータでテンポデータの異常が検出されました。"},
    {0x0D000018, "中央音の検出に失敗しました。"},
    {0x0D000019, "演奏データが異常です。"},
    {0x0D00001A, "データの追加に失敗しました。"},
    {0x0D00001B, "演奏データが異常です。"},
    {0x0D00001C, "演奏データの分割に失敗しました。"},
    {0x0D00001D, "和音数に異常が発生しました。"},
    {0x0D00001E, "チャネルボリュームに異常が発生しました。"},
    {0x0D00001F, "トラックの結合で異常が発生しました。"},
    {0x0D000020, "チャネルに異常が発生しました。"},
    {0x0D000021, "音符に異常が発生しました。"},
    {0x0D000022, "データの追加で異常が発生しました。"},
    {0x0D000023, "データの処理で異常が発生しました。"},
    {0x0D000024, "値の異常が発生しました。"},
    {0x0D000025, "演奏開始の異常が発生しました。"},
    {0x0D000026, "トラックに異常が発生しました。"},
    {0x0D000027, "拍子に異常が発生しました。"},
    {0x0D000028, "データ追加に異常が発生しました。"},
    {0x0D000029, "データ操作に異常が発生しました。"},
    {0x0D00002A, "和音数の処理に異常が発生しました。"},
    {0x0D00002B, "ピッチベンドの処理に異常が発生しました。"},
    {0x0D00002C, "データ編集の処理に異常が発生しました。"},
    {0x0D00002D, "データ編集の処理に異常が発生しました。"},
};

constexpr CatalogEntry kMuev[] = {
    {0x06000001,
     "イベントのデータサイズが大きすぎます。MFiの機種依存の音色設定が含まれている場合は問題ありませ"
     "ん。"},
    {0x06000002, "イベントのデータでエラーが発生しました。"},
};

constexpr CatalogEntry kM0dtOnce[] = {
    {0x04000007, "拍子記号の位置が異常です。"},
};

constexpr CatalogEntry kM1dtOnce[] = {
    {0x0300000D, "拍子記号の位置が異常です。"},
    {0x0300000E,
     "ドラムからトーンにマッピングしようとしましたが、マッピングのためのあきチャネルがありませんで"
     "した。"},
    {0x0300000F, "異なるプログラムチェンジのドラムトラックを結合しようとしました。"},
    {0x03000010, "複数のプログラムチェンジのトラックを結合しようとしました。"},
    {0x03000013,
     "ドラムからトーンにマッピングしようとしましたが、すでに同じトーンのチャネルがありましたので、"
     "そのチャネルに挿入しました。"},
    {0x03000014, "ピッチベンドからノートの変換でエラーが発生しました。"},
};

constexpr CatalogEntry kM1tkOnce[] = {
    {0x03000017, "複数のピッチベンドセンシティビティが設定されていました。"},
    {0x2E00001A, "拍子記号の位置が異常です。"},
    {0x2E00001B, "ピッチベンドの変換可能範囲を超えて変換しようとしました。"},
};

constexpr CatalogEntry kMdtkOnce[] = {
    {0x0D000002, "未定義のMIDIイベントが含まれていました。"},
    {0x0D000009, "複数のボリュームが設定されています。"},
    {0x0D00000A, "複数のパンが設定されています。"},
    {0x0D00000B, "サイズが大きすぎるイベントが含まれています。"},
    {0x0D00000F, "音の間引きに失敗しました。"},
    {0x0D000011, "複数のマスターボリュームが設定されています。"},
    {0x0D000012, "トップノートは間引かないを指定していますが、指定をはずして間引きました。"},
    {0x0D000016, "Poly Pressのイベントが含まれていました。"},
    {0x0D000017, "内部処理のエラーでノートナンバーが異常になりましたので０に修正しました。"},
};

}  // namespace

const CatalogTable& CatalogOf(CatalogModule module) {
    static const CatalogTable kGeneTable{"GENE", "汎用処理でエラーが発生しました。",
                                         std::span<const CatalogEntry>(kGene),
                                         std::span<const CatalogEntry>()};
    static const CatalogTable kMdctTable{"MDCT", "Midi制御でエラーが発生しました。",
                                         std::span<const CatalogEntry>(kMdct),
                                         std::span<const CatalogEntry>()};
    static const CatalogTable kM0dtTable{
        "M0DT", "Midiのフォーマット0のデータでエラーが発生しました。",
        std::span<const CatalogEntry>(kM0dt), std::span<const CatalogEntry>(kM0dtOnce)};
    static const CatalogTable kM1dtTable{
        "M1DT", "Midiのフォーマット１のデータでエラーが発生しました。",
        std::span<const CatalogEntry>(kM1dt), std::span<const CatalogEntry>(kM1dtOnce)};
    static const CatalogTable kM1tkTable{
        "M1TK", "Midiのフォーマット1のトラックデータでエラーが発生しました。",
        std::span<const CatalogEntry>(), std::span<const CatalogEntry>(kM1tkOnce)};
    static const CatalogTable kMdplTable{"MDPL", "Midiの演奏機能でエラーが発生しました。",
                                         std::span<const CatalogEntry>(kMdpl),
                                         std::span<const CatalogEntry>()};
    static const CatalogTable kMdssTable{"MDSS", "Midiの状態把握処理でエラーが発生しました。",
                                         std::span<const CatalogEntry>(kMdss),
                                         std::span<const CatalogEntry>()};
    static const CatalogTable kMdtkTable{"MDTK", "Midiのトラックデータでエラーが発生しました。",
                                         std::span<const CatalogEntry>(kMdtk),
                                         std::span<const CatalogEntry>(kMdtkOnce)};
    static const CatalogTable kMuevTable{"MUEV", "音楽データのイベントでエラーが発生しました。",
                                         std::span<const CatalogEntry>(kMuev),
                                         std::span<const CatalogEntry>()};
    static const CatalogTable kMdspTable{"MDSP", "Midiの演奏機能でエラーが発生しました。",
                                         std::span<const CatalogEntry>(kMdsp),
                                         std::span<const CatalogEntry>()};
    switch (module) {
        case CatalogModule::GENE:
            return kGeneTable;
        case CatalogModule::MDCT:
            return kMdctTable;
        case CatalogModule::M0DT:
            return kM0dtTable;
        case CatalogModule::M1DT:
            return kM1dtTable;
        case CatalogModule::M1TK:
            return kM1tkTable;
        case CatalogModule::MDPL:
            return kMdplTable;
        case CatalogModule::MDSS:
            return kMdssTable;
        case CatalogModule::MDTK:
            return kMdtkTable;
        case CatalogModule::MUEV:
            return kMuevTable;
        case CatalogModule::MDSP:
            return kMdspTable;
    }
    return kGeneTable;
}

// The texts the host shows in the application's message box.
#pragma once

// Caption of the application's message boxes: the program's title.
inline constexpr const char* kHostMessageCaption = "KorvaneApp";

inline constexpr const char* kMsgPluginLoadFailed = "プラグインのロードに失敗しました。";
inline constexpr const char* kMsgPluginEntryMissing = "プラグインのエントリ取得に失敗しました。";
inline constexpr const char* kMsgInstanceFailed = "インスタンスの生成に失敗しました。";
inline constexpr const char* kMsgNotVstPlugin = "VSTプラグインではありません。";

inline constexpr const char* kMsgOutOfMemory = "メモリが足りません。";
inline constexpr const char* kMsgBadChannel = "MIDIチャンネルの指定が正しくありません。";
inline constexpr const char* kMsgEventStoreFull = "CVstHostMain Error";

inline constexpr const char* kMsgBufferAllocFailed = "バッファの確保に失敗しました。";
inline constexpr const char* kMsgNoAudioDevice =
    "オーディオデバイスがないか、サポートされていないフォーマットです。";
inline constexpr const char* kMsgDeviceAlreadyOpen = "再生デバイスはオープン済みです。";
inline constexpr const char* kMsgDeviceOpenFailed = "再生デバイスのオープンに失敗しました。";
inline constexpr const char* kMsgDeviceCloseFailed = "再生デバイスのクローズに失敗しました。";
inline constexpr const char* kMsgQueueAllPrepareFailed = "バッファが再生用に準備できませんでした。";
inline constexpr const char* kMsgQueueFailed = "バッファを再生キューに登録できませんでした。";
inline constexpr const char* kMsgUnprepareFailed = "再生用バッファの開放に失敗しました。";
inline constexpr const char* kMsgRequeuePrepareFailed = "バッファを再生用に準備できませんでした。";

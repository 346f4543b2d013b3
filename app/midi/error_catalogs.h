// The error catalogs of the MIDI library. Every module owns a table from a
// 32-bit code (module number in the high byte) to a Japanese message; a report
// shows one line "<MODULE><8 hex digits> <message>" through the application's
// message layer. Some modules also have once-only reports for warnings that
// would otherwise repeat for every event of a file.
#pragma once

#include <cstdint>
#include <string>

enum class CatalogModule {
    GENE,  // general routines, settings file, Play
    MDCT,  // MIDI output device
    M0DT,  // format-0 song
    M1DT,  // format-1 reader
    M1TK,  // format-1 track warnings (once-only only)
    MDPL,  // player core
    MDSS,  // player state table
    MDTK,  // track data
    MUEV,  // music event
    MDSP,  // playback record
};

// Caption of every catalog report: the application's title.
inline constexpr const char* kCatalogCaption = "KorvaneApp";

// General codes that the library raises.
inline constexpr std::uint32_t kGeneOutOfMemory = 0x01000002;
inline constexpr std::uint32_t kGenePerformanceDropped = 0x01000004;
inline constexpr std::uint32_t kGeneCannotOpenFile = 0x01000007;
inline constexpr std::uint32_t kGeneDataTooLarge = 0x0100000A;
inline constexpr std::uint32_t kGeneFileSizeError = 0x0100000D;

// The report line of a code, exactly as it is shown: module letters, the code
// as eight upper-case hexadecimal digits, a space and the message (the module's
// default message when the code has no entry). Thread: any.
std::string FormatReportLine(CatalogModule module, std::uint32_t code);

// Same, with the message looked up in the module's once-only table; codes
// outside it take the default message. Thread: any.
std::string FormatOnceReportLine(CatalogModule module, std::uint32_t code);

// Shows a report line in a message box with one OK button and returns when it
// is closed. Thread: any (the message layer marshals to the UI thread).
void ShowSystemModalMessage(const std::string& text);

// Plain report of any module. Never fails. GENE 01000002 (out of memory) then
// ends the process with a non-zero status; every other code returns, including
// GENE 01000007 (a file that cannot be opened fails its action instead).
// Thread: any.
void ReportCatalogError(CatalogModule module, std::uint32_t code);

// Once-only report of M0DT, M1DT, MDTK and M1TK. Code 0 clears all of the
// module's once-only flags instead of reporting. A code of the once-only table
// is shown only while its flag is clear, and sets it. Any other code is shown
// every time: with the default message for MDTK and M1TK, with the plain
// table's message for M0DT and M1DT. Other modules have no once-only table and
// report plainly. Thread: any.
void ReportCatalogOnce(CatalogModule module, std::uint32_t code);

// The GENE report of the general routines and the settings file. Thread: any.
void ReportGeneralError(std::uint32_t code);

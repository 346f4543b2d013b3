#include "app/midi/error_catalogs.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "app/midi/catalog_tables.h"
#include "app/platform/app_message.h"

namespace {

constexpr std::size_t kReportLineBytes = 2048;

// Once-only flags: one per row of a once-only table. Reports come from several
// threads (loading, playback, timer), so the test-and-set is atomic.
constexpr std::size_t kMaxOnceRows = 16;
constexpr std::size_t kModuleCount = 10;
std::array<std::array<std::atomic<int>, kMaxOnceRows>, kModuleCount> onceFlags{};

const char* lookUp(std::span<const CatalogEntry> entries, std::uint32_t code) {
    for (const CatalogEntry& entry : entries) {
        if (entry.code == code) {
            return entry.message;
        }
    }
    return nullptr;
}

std::string formatLine(const CatalogTable& table, const char* message, std::uint32_t code) {
    char line[kReportLineBytes];
    std::snprintf(line, sizeof line, "%s%08X %s", table.moduleCode, static_cast<unsigned>(code),
                  message ? message : table.defaultMessage);
    return line;
}

[[noreturn]] void endProcess(std::uint32_t code) {
    // The exit status is the code; the system keeps its low byte (2 for
    // 01000002). _Exit, not exit: the report may come from a timer or playback
    // thread while other threads still run, and static destructors must not
    // run under them.
    std::fflush(nullptr);
    std::_Exit(static_cast<int>(code));
}

}  // namespace

std::string FormatReportLine(CatalogModule module, std::uint32_t code) {
    const CatalogTable& table = CatalogOf(module);
    return formatLine(table, lookUp(table.plain, code), code);
}

std::string FormatOnceReportLine(CatalogModule module, std::uint32_t code) {
    const CatalogTable& table = CatalogOf(module);
    return formatLine(table, lookUp(table.once, code), code);
}

void ShowSystemModalMessage(const std::string& text) {
    showAppMessage(text, kCatalogCaption);
}

void ReportCatalogError(CatalogModule module, std::uint32_t code) {
    ShowSystemModalMessage(FormatReportLine(module, code));
    if (module == CatalogModule::GENE && code == kGeneOutOfMemory) {
        endProcess(code);
    }
}

void ReportCatalogOnce(CatalogModule module, std::uint32_t code) {
    const CatalogTable& table = CatalogOf(module);
    auto& flags = onceFlags[static_cast<std::size_t>(module)];
    if (code == 0 && !table.once.empty()) {
        for (auto& flag : flags) {
            flag.store(0);
        }
        return;
    }
    for (std::size_t row = 0; row < table.once.size() && row < kMaxOnceRows; ++row) {
        if (table.once[row].code == code) {
            if (flags[row].exchange(1) == 0) {
                ShowSystemModalMessage(formatLine(table, table.once[row].message, code));
            }
            return;
        }
    }
    if (module == CatalogModule::MDTK || module == CatalogModule::M1TK) {
        ShowSystemModalMessage(formatLine(table, nullptr, code));
        return;
    }
    ReportCatalogError(module, code);
}

void ReportGeneralError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::GENE, code);
}

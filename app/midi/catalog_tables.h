// The fixed tables behind the error catalogs: one plain table and, for the
// modules that have one, a once-only table per module.
#pragma once

#include <cstdint>
#include <span>

#include "app/midi/error_catalogs.h"

struct CatalogEntry {
    std::uint32_t code;
    const char* message;
};

struct CatalogTable {
    const char* moduleCode;      // four letters, the start of every report line
    const char* defaultMessage;  // for codes without an entry
    std::span<const CatalogEntry> plain;
    std::span<const CatalogEntry> once;  // empty for modules without once-only reports
};

// Thread: any (the tables are constant).
const CatalogTable& CatalogOf(CatalogModule module);

#pragma once

// What the fuzz targets of the LAN service share: a share catalogue in a program folder of its
// own (a fresh temporary folder, removed at the end), with the service's diagnostics off so
// that a run prints nothing per input.
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "ConService/ServiceDiagnostics.h"
#include "ConService/ShareCatalogue.h"
#include "platform/ProgramFolder.h"

namespace brisel::fuzz {

struct CatalogueFixture {
  CatalogueFixture() {
    char pattern[] = "/tmp/brisel-fuzz-XXXXXX";
    folder = mkdtemp(pattern);
    SetProgramFolderOverride(folder);
    SetServiceDiagnosticsEnabled(false);
    catalogue = std::make_unique<ShareCatalogue>();
  }
  ~CatalogueFixture() {
    catalogue.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  CatalogueFixture(const CatalogueFixture&) = delete;
  CatalogueFixture& operator=(const CatalogueFixture&) = delete;

  std::string folder;
  std::unique_ptr<ShareCatalogue> catalogue;
};

}  // namespace brisel::fuzz

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "BriselUIFiles/VideoWndCore.h"
#include "ConService/ShareCatalogue.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "cli/SharePaths.h"
#include "platform/FileSystem.h"

namespace brisel::cli {
namespace {

std::string RefusalText(const VideoWndCore& tile, std::uint8_t list,
                        const ShareCatalogue& catalogue) {
  const std::string path = tile.Path();
  switch (tile.RegistrationResult()) {
    case SHARE_ADD_FULL:
      return "list " + std::to_string(list) + " is full (" + std::to_string(kMaxShareRecords) +
             " videos)";
    case SHARE_ADD_REJECTED:
      if (BaseName(path).size() > kMaxShareNameBytes)
        return "the file name is longer than " + std::to_string(kMaxShareNameBytes) + " bytes";
      if (path.size() > kMaxSharePathBytes)
        return "the path is longer than " + std::to_string(kMaxSharePathBytes) + " bytes";
      return "refused by the share catalogue";
    case SHARE_ADD_UNWRITABLE:
      return "cannot write its record file in " + catalogue.CatalogueRoot() +
             "/file_root: " + tile.RegistrationError();
    default:
      return "the path is longer than " + std::to_string(kMaxProbePathBytes) + " bytes";
  }
}

void WaitUntil(const std::function<bool()>& done) {
  while (!done()) {
  }
}

}  // namespace

int RunAddCommand(const std::vector<std::string>& args) {
  bool converted = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--converted") {
      converted = true;
    } else if (a.rfind("--", 0) == 0) {
      return UsageError("add: unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return UsageError("add needs at least one file");
  const std::uint8_t list = converted ? SHARE_LIST_CONVERTED : SHARE_LIST_ORDINARY;

  ShareCatalogue catalogue;
  catalogue.LoadAllShareRecords();
  int status = kExitOk;
  auto refuse = [&](const std::string& file, const std::string& why) {
    std::fprintf(stderr, "briselvr: %s: %s\n", file.c_str(), why.c_str());
    status = kExitFailure;
  };

  // Each file is probed like a new tile, one after another (so the catalogue keeps the order
  // of the command line); the thumbnail grabs run on while the next file is probed.
  std::vector<std::unique_ptr<VideoWndCore>> added;
  for (const std::string& file : files) {
    const std::string path = SharePathArgument(file);
    if (!IsRegularFile(path)) {
      refuse(file, "not a file");
      continue;
    }
    if (catalogue.FindShareRecord(0, path)) {
      refuse(file, "already in the catalogue");
      continue;
    }
    auto tile =
        std::make_unique<VideoWndCore>(&catalogue, path, converted ? VIDEO_CONVERTED : VIDEO_IDLE);
    tile->StartProbe(path);
    WaitUntil([&] { return tile->WaitProbed(std::chrono::seconds(1)); });
    if (tile->RegistrationResult() != SHARE_ADD_OK) {
      refuse(file, RefusalText(*tile, list, catalogue));
      continue;
    }
    added.push_back(std::move(tile));
  }
  for (const auto& tile : added) {
    WaitUntil([&] { return tile->WaitForWorkers(std::chrono::seconds(1)); });
    const MediaValues v = tile->Values();
    const std::string thumbnail = tile->HasThumbnail() ? tile->ThumbnailPath() : "-";
    std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%s\n", tile->ShareKey().c_str(), tile->Path().c_str(),
                v.duration.c_str(), v.fileSize.c_str(), v.width.c_str(), v.height.c_str(),
                thumbnail.c_str());
    std::fflush(stdout);
  }
  return status;
}

}  // namespace brisel::cli

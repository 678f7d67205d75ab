#include <cstdio>

#include "ConService/ShareCatalogue.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"

namespace brisel::cli {

int RunListCommand(const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError("list takes no arguments");
  ShareCatalogue catalogue;
  catalogue.LoadAllShareRecords();
  for (std::uint8_t list : {SHARE_LIST_ORDINARY, SHARE_LIST_CONVERTED}) {
    catalogue.SerializeList(list);  // the presence flags as a phone would see them now
    ShareRecord record;
    while (catalogue.NextShareRecord(list, &record)) {
      std::printf("%d\t%d\t%d\t%s\t%s\n", record.type, record.hasVideo, record.hasImage,
                  record.key.c_str(), record.path.c_str());
    }
  }
  return kExitOk;
}

}  // namespace brisel::cli

// In-process cost of answering list requests: a full list of 35 records (60-byte names),
// with the presence flags retested on every reply and with the default retest interval.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "ConService/ClientSlot.h"
#include "ConService/ListProtocolHandler.h"
#include "ConService/ServiceDiagnostics.h"
#include "ConService/ShareCatalogue.h"
#include "platform/ProgramFolder.h"

namespace {

std::unique_ptr<brisel::ShareCatalogue> FullCatalogue() {
  // Removed when the benchmark ends.
  struct TempFolder {
    std::string path;
    TempFolder() {
      char pattern[] = "/tmp/brisel-bench-XXXXXX";
      path = mkdtemp(pattern);
    }
    ~TempFolder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static TempFolder temp;
  const std::string& folder = temp.path;
  brisel::SetProgramFolderOverride(folder);
  brisel::SetServiceDiagnosticsEnabled(false);
  auto catalogue = std::make_unique<brisel::ShareCatalogue>();
  for (int i = 0; i < 35; ++i) {
    std::string path = folder + "/" + std::string(54, 'n') + "_" + std::to_string(100 + i) + "_";
    std::ofstream(path) << "v";
    catalogue->AddShareRecord(path, 1);
  }
  return catalogue;
}

void ListReply(benchmark::State& state) {
  auto catalogue = FullCatalogue();
  catalogue->SetPresenceRetestInterval(std::chrono::milliseconds(state.range(0)));
  brisel::ListProtocolHandler protocol(*catalogue);
  brisel::ClientSlot slot;
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = protocol.BuildListReply(1, slot, 0);
    benchmark::DoNotOptimize(protocol.ReplyBuffer().data());
  }
  state.counters["reply_bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ListReply)->Arg(0)->Arg(100);

}  // namespace

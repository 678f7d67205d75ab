// `briselvr` for the tests, with the update key as its first argument ("" for none):
//   briselvr_keyed KEY [briselvr's arguments...]
// so the real command line runs against a key the test made, whatever key the build has.
#include "BriselAssist/Http/UpdateSignature.h"
#include "cli/CliApp.h"

int main(int argc, char** argv) {
  if (argc < 2) return brisel::cli::kExitUsage;
  brisel::SetUpdatePublicKeyForTesting(argv[1]);
  argv[1] = argv[0];
  return brisel::cli::RunCli(argc - 1, argv + 1);
}

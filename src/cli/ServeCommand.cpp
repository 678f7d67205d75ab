#include <poll.h>

#include <cstdio>
#include <ctime>

#include "BriselDataManager/LogRecorder.h"
#include "ConService/Ipv4Address.h"
#include "ConService/Service.h"
#include "ConService/ServiceDiagnostics.h"
#include "app/BriselVRClientCore.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "platform/SignalWatcher.h"
#include "settings/AppSettings.h"

namespace brisel::cli {

int RunServeCommand(const std::vector<std::string>& args) {
  std::string address;
  bool verbose = false;
  bool dlna = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--address" && i + 1 < args.size()) {
      address = args[++i];
    } else if (args[i].rfind("--address=", 0) == 0) {
      address = args[i].substr(10);
    } else if (args[i] == "--verbose") {
      verbose = true;
    } else if (args[i] == "--quiet") {
      // Scripts written when the diagnostics were on by default pass it; quiet is the default
      // now, so it changes nothing (not even after --verbose).
    } else if (args[i] == "--no-dlna") {
      dlna = false;
    } else {
      return UsageError("serve: unexpected argument " + args[i]);
    }
  }
  if (address.empty()) return UsageError("serve needs --address A");
  if (!Ipv4Address::Parse(address)) return UsageError("serve: not an IPv4 address: " + address);

  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // "serving on" reaches a pipe at once
  // Connections, requests and broadcasts are shown only on request: a terminal that asked for
  // them reads them, and a pipe nobody reads merely loses them.
  SetServiceDiagnosticsEnabled(verbose);
  const int signals = SignalWatcher::Install();

  BriselVRClientCore core(ProgramSettings());
  if (!core.PrepareFolders(false)) {
    std::fprintf(stderr, "briselvr: 配置文件异常 (%s could not be read or created)\n",
                 ConfigPath().c_str());
  }
  PurgeOldLogs(static_cast<std::int64_t>(std::time(nullptr)) - 2592000);
  StartLogThread();
  core.SetDlnaAllowed(dlna);
  core.StartLanServiceOn(address);
  core.LoadShareCatalogue();
  Service::ThreadsState state = core.GetService()->WaitForServiceThreads(std::chrono::seconds(10));
  if (!state.udpRunning || !state.httpRunning) {
    std::fprintf(stderr, "briselvr: cannot serve on %s:", address.c_str());
    if (!state.settled) std::fprintf(stderr, " the service did not start in time");
    if (!state.udpError.empty()) std::fprintf(stderr, " %s;", state.udpError.c_str());
    if (!state.httpError.empty()) std::fprintf(stderr, " %s", state.httpError.c_str());
    std::fprintf(stderr, "\n");
    core.Shutdown();
    return kExitFailure;
  }
  std::printf("serving on %s\n", address.c_str());
  // The DLNA media server is an extra: without it the phones are still served.
  if (state.dlnaRunning) {
    std::printf("DLNA media server: %s\n", state.dlnaLocation.c_str());
  } else if (state.dlnaEnabled) {
    std::fprintf(stderr, "briselvr: no DLNA media server on %s: %s\n", address.c_str(),
                 state.dlnaError.empty() ? "it did not start in time" : state.dlnaError.c_str());
  }

  while (signals >= 0) {
    pollfd p{signals, POLLIN, 0};
    if (poll(&p, 1, -1) == 1 && SignalWatcher::TakeSignal() != 0) break;
  }
  core.Shutdown();
  FlushServiceDiagnostics(std::chrono::milliseconds(500));
  return kExitOk;
}

}  // namespace brisel::cli

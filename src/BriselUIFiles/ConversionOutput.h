#pragma once

// Where a conversion writes while it runs. The converter writes into a working file beside the
// output (hidden, ".brisel-part-XXXXXXXX.mp4"), which becomes the output only when the run has
// completed: the output path never holds half a video, after a stop, a failure or a killed
// program alike, so a killed run never blocks the next conversion of the same video.
//
// Each run records its working file in a claim file in <data folder>/appData/converting,
// which its process keeps locked while it lives. RemoveAbandoned deletes the working files of
// claims whose process has died (a killed program or `briselvr convert`) and nothing else: a
// file the program did not create is never deleted, and a run of another live process is left
// alone.
//
// Thread contract: one object per run, used by one thread at a time. RemoveAbandoned may be
// called from any thread and process at any time.

#include <memory>
#include <string>

namespace brisel {

class ConversionOutput {
 public:
  // Claims a working file for `outputPath` and records the claim on disk before returning.
  // Null, with `error` telling why, when the claim cannot be recorded (a full disk, a folder
  // that cannot be written).
  static std::unique_ptr<ConversionOutput> Claim(const std::string& outputPath, std::string* error);
  // Discards the working file unless it was committed.
  ~ConversionOutput();
  ConversionOutput(const ConversionOutput&) = delete;
  ConversionOutput& operator=(const ConversionOutput&) = delete;

  const std::string& OutputPath() const { return m_strOutput; }
  // The file the converter is to write; it does not exist when the claim is made.
  const std::string& WorkingPath() const { return m_strWorking; }

  // Makes the finished working file the output, never replacing a file that is there. False,
  // with `error`, when it could not (the working file is then discarded).
  bool Commit(std::string* error);
  // Deletes the working file (when there is one) and the claim.
  void Discard();

  // Deletes the working files of runs whose process has died, with their claims; returns how
  // many working files went.
  static int RemoveAbandoned();

  // <data folder>/appData/converting
  static std::string ClaimFolder();

 private:
  ConversionOutput(std::string output, std::string working, std::string claim, int claimFd);
  void Release();

  std::string m_strOutput;
  std::string m_strWorking;
  std::string m_strClaim;  // path of the claim file
  int m_claimFd = -1;      // holds the claim's lock
};

}  // namespace brisel

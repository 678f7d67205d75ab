#pragma once

#include <string>

#include "BriselUIFiles/ConvertListPage.h"

namespace brisel::test {

// A share page that records what the conversion queue tells it. Notes, in order and
// space-separated: "2:/src/a.avi" for a task's change (ConvertStatus and path),
// "converted:/src/a.avi>/out/a.mp4" for a completion. Apart from them, `converting` gets "1"
// or "0" each time whether a task converts changed.
class RecordingConvertPage : public ConvertListPage {
 public:
  void OnTaskStateChanged(int status, const std::string& path) override {
    Note(std::to_string(status) + ":" + path);
  }
  void OnConverted(const std::string& sourcePath, const std::string& outputPath) override {
    Note("converted:" + sourcePath + ">" + outputPath);
  }
  void OnConvertingChanged(bool converting) override { this->converting += converting ? "1" : "0"; }

  // The notes so far, then forgotten.
  std::string TakeNotes() {
    std::string out;
    out.swap(notes);
    return out;
  }

  std::string notes;
  std::string converting;

 private:
  void Note(const std::string& note) { notes += (notes.empty() ? "" : " ") + note; }
};

}  // namespace brisel::test

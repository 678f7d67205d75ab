#include "app/VersionCheckThread.h"

#include <memory>
#include <string>

#include "BriselAssist/Http/HttpClient.h"
#include "BriselAssist/Http/HttpHelper.h"

namespace brisel {
namespace {

// Keeps the message box the check asks for, to be shown by the UI thread.
class BoxCollector : public HttpHelper::Host {
 public:
  void ShowMessageBox(const std::string& text) override { m_text = text; }
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
};

}  // namespace

VersionCheckThread::VersionCheckThread(MessageTargetRef target) : m_target(std::move(target)) {}

VersionCheckThread::~VersionCheckThread() {
  m_bCancel = true;
  if (m_thread.joinable()) m_thread.join();
}

bool VersionCheckThread::Start() {
  if (m_bRunning) return false;
  if (m_thread.joinable()) m_thread.join();
  m_bCancel = false;
  m_bRunning = true;
  // The helper is made and given its identity here, then belongs to the thread alone.
  auto box = std::make_unique<BoxCollector>();
  auto helper = std::make_unique<HttpHelper>(box.get());
  helper->InitVersionCheck();
  helper->Client()->SetCancelFlag(&m_bCancel);
  m_thread = std::thread([this, box = std::move(box), helper = std::move(helper)] {
    std::string url;
    HttpHelper::CheckResult result = helper->RunVersionCheck(&url);
    PostTo(m_target, Message(WM_VERSION_CHECKED, static_cast<int>(result), 0, url, box->Text()));
    m_bRunning = false;
  });
  return true;
}

}  // namespace brisel

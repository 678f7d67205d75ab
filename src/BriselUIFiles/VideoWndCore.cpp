#include "BriselUIFiles/VideoWndCore.h"

#include <signal.h>

#include <cstdio>
#include <semaphore>
#include <vector>

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/ConvertListItemCore.h"
#include "BriselUIFiles/JpegImage.h"
#include "ConService/MediaValuesCache.h"
#include "ConService/ShareCatalogue.h"
#include "platform/ChildProcess.h"
#include "platform/ConverterLocator.h"
#include "platform/FileSystem.h"

namespace brisel {
namespace {

constexpr const char* kVideoWndDlgTag = "BriselUIFiles\\VideoWndDlg";
constexpr auto kThumbnailDelay = std::chrono::milliseconds(200);
// A grab of one frame takes well under a second; one that takes longer than this (a stalled
// network share, a converter that hangs) is ended so the tile keeps its placeholder.
constexpr auto kGrabTimeLimit = std::chrono::seconds(60);
constexpr int kGrabExitWaitMs = 5000;
// Grabs running at once, over all tiles: a drop of 70 videos or a start-up with many missing
// thumbnails would otherwise start 70 decoders together.
constexpr std::ptrdiff_t kMaxParallelGrabs = 4;
std::counting_semaphore<kMaxParallelGrabs> g_grabSlots(kMaxParallelGrabs);

// Holds one grab slot while it lives.
class GrabSlot {
 public:
  // Waits for a slot until `stop` is set; Held() tells whether one was taken.
  explicit GrabSlot(const std::atomic<bool>& stop) {
    while (!stop.load() &&
           !(m_bHeld = g_grabSlots.try_acquire_for(std::chrono::milliseconds(100)))) {
    }
  }
  ~GrabSlot() {
    if (m_bHeld) g_grabSlots.release();
  }
  GrabSlot(const GrabSlot&) = delete;
  GrabSlot& operator=(const GrabSlot&) = delete;
  bool Held() const { return m_bHeld; }

 private:
  bool m_bHeld = false;
};

// The text after the last separator, the whole path when there is none.
std::string NameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// HH:MM:SS, with milliseconds when there are any: "00:00:15", "00:00:01.333".
std::string SeekText(std::int64_t seekMs) {
  const long long ms = seekMs % 1000, s = seekMs / 1000;
  char text[48];
  int n = std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  if (ms != 0) std::snprintf(text + n, sizeof text - n, ".%03lld", ms);
  return text;
}

}  // namespace

std::vector<std::string> ThumbnailArguments(const std::string& converter, const std::string& video,
                                            const std::string& jpeg, std::int64_t seekMs) {
  std::vector<std::string> argv = {converter};
  if (seekMs > 0) argv.insert(argv.end(), {"-ss", SeekText(seekMs)});
  argv.insert(argv.end(), {"-i", video, "-y"});
  for (const char* a : {"-f", "image2", "-s", kThumbnailSize, "-vframes", "1"}) argv.push_back(a);
  argv.push_back(jpeg);
  return argv;
}

std::int64_t RetrySeekMs(std::int64_t durationMs) {
  return durationMs > 0 && durationMs < kThumbnailSeekMs ? durationMs / 3 : 0;
}

VideoWndCore::VideoWndCore(ShareCatalogue* catalogue, std::string path, int state)
    : m_pCatalogue(catalogue), m_strPath(std::move(path)), m_nState(state) {
  m_strName = NameOf(m_strPath);
}

VideoWndCore::~VideoWndCore() { Shutdown(); }

void VideoWndCore::SetVideoInfo(const std::string& path, const std::string& shareKey,
                                const std::string& name, bool registered) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strPath = path;
    m_strShareKey = shareKey;
    m_strName = name;
  }
  m_bRegistered.store(registered);
}

void VideoWndCore::SetThumbnail(const std::string& jpegPath) {
  if (!ApplyThumbnail(jpegPath) && !m_bRegenerated.exchange(true)) StartThumbnailThread();
  PostRepaint();
}

void VideoWndCore::StartProbe(const std::string& path) {
  bool missing = false;
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    if (m_bStopping || m_bProbeStarted.load()) return;
    m_bProbeStarted.store(true);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_strPath = path;
    }
    if (PathExists(path)) {
      m_bProbeRunning = true;
      m_probeThread = std::thread(&VideoWndCore::ProbeThread, this);
    } else {
      MarkMissing();
      m_bProbed.store(true);
      missing = true;
    }
  }
  if (missing) {
    m_changed.notify_all();
    PostRepaint();
  }
}

void VideoWndCore::RequestStop() {
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    m_bStopping.store(true);
    if (m_pGrab) m_pGrab->Kill(SIGKILL);
  }
  m_changed.notify_all();
}

void VideoWndCore::Shutdown() {
  RequestStop();
  std::thread probe, thumbnail;
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    probe = std::move(m_probeThread);
  }
  if (probe.joinable()) probe.join();
  // The probe starts no thumbnail thread once the stop was requested; one it started before
  // is in m_thumbnailThread now.
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    thumbnail = std::move(m_thumbnailThread);
  }
  if (thumbnail.joinable()) thumbnail.join();
}

bool VideoWndCore::WaitProbed(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> threads(m_threadMutex);
  return m_changed.wait_for(threads, timeout,
                            [&] { return m_bProbed.load() || m_bStopping.load(); });
}

bool VideoWndCore::WaitForWorkers(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> threads(m_threadMutex);
  return m_changed.wait_for(threads, timeout,
                            [&] { return !m_bProbeRunning && !m_bThumbnailRunning; });
}

void VideoWndCore::SetRepaintTarget(MessageTargetRef target) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_RepaintTarget = std::move(target);
}

void VideoWndCore::SetThumbnailLoader(ThumbnailLoader loader) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_Loader = std::move(loader);
}

std::string VideoWndCore::Path() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strPath;
}

std::string VideoWndCore::ShareKey() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strShareKey;
}

std::string VideoWndCore::DisplayName() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strName;
}

std::string VideoWndCore::ThumbnailPath() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strThumbnailPath;
}

std::string VideoWndCore::RegistrationError() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strRegistrationError;
}

MediaValues VideoWndCore::Values() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_Values;
}

void VideoWndCore::MarkMissing() {
  m_nPreviousState.store(m_nState.load());
  m_nState.store(VIDEO_MISSING);
}

void VideoWndCore::ProbeThread() {
  // "/" is already the separator here, and the ANSI form of a path is its bytes.
  const std::string path = Path();
  const bool registered = m_bRegistered.load();
  std::string key;
  if (!registered && !m_bStopping && path.size() <= kMaxProbePathBytes) {
    std::uint8_t list = State() == VIDEO_CONVERTED ? SHARE_LIST_CONVERTED : SHARE_LIST_ORDINARY;
    std::string error;
    if (m_pCatalogue) m_nRegistration.store(m_pCatalogue->AddShareRecord(path, list, &key, &error));
    // Like a full list, this leaves the video in the library but not offered to phones.
    if (m_nRegistration.load() == SHARE_ADD_UNWRITABLE)
      WriteLog("共享记录写入失败：" + path + ": " + error, kVideoWndDlgTag);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strRegistrationError = error;
    m_strShareKey = key;
    m_strName = NameOf(path);
    m_strPath = path;
  }
  if (!m_bStopping) {
    // Through the catalogue's cache, so the media server's headset library need not probe
    // the same file again.
    MediaValues values =
        m_pCatalogue ? m_pCatalogue->MediaCache().Lookup(path) : QueryMediaInfo(path);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_Values = std::move(values);
  }
  // A video the catalogue refused has no key and so no thumbnail file name.
  if (!registered && !key.empty()) StartThumbnailThread();
  // Values that stay empty (no video stream, a file the library cannot read) are kept: the
  // tile is usable all the same.
  m_bProbed.store(true);
  m_bReady.store(true);
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    m_bProbeRunning = false;
  }
  m_changed.notify_all();
  PostRepaint();
}

void VideoWndCore::StartThumbnailThread() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    if (m_bStopping || m_bThumbnailRunning) return;
    finished = std::move(m_thumbnailThread);
    m_bThumbnailRunning = true;
    m_thumbnailThread = std::thread(&VideoWndCore::ThumbnailThread, this);
  }
  if (finished.joinable()) finished.join();
}

void VideoWndCore::ThumbnailThread() {
  if (!WaitForStop(kThumbnailDelay)) {
    for (;;) {
      const std::string key = ShareKey();
      if (key.empty() || !m_pCatalogue) break;
      const std::string jpeg = m_pCatalogue->ThumbnailPath(key);
      const std::string video = Path();
      GrabEnd end = Grab(video, jpeg, kThumbnailSeekMs);
      // Nothing at the seek point: most often a clip shorter than that. One more grab, from a
      // point the video does reach (its duration comes from the probe's values, which the
      // catalogue keeps); a video the converter cannot read fails that too and keeps its
      // placeholder.
      if (end == GrabEnd::NoPicture && !m_bStopping) {
        const MediaFacts facts =
            MediaValuesCache::FromMediaValues(m_pCatalogue->MediaCache().Lookup(video));
        end = Grab(video, jpeg, RetrySeekMs(facts.durationMs));
      }
      if (end != GrabEnd::Picture) break;
      bool loaded = ApplyThumbnail(jpeg);
      PostRepaint();
      if (loaded || m_bRegenerated.exchange(true)) break;
    }
  }
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    m_bThumbnailRunning = false;
  }
  m_changed.notify_all();
}

VideoWndCore::GrabEnd VideoWndCore::Grab(const std::string& videoPath, const std::string& jpegPath,
                                         std::int64_t seekMs) {
  const std::vector<std::string> argv =
      ThumbnailArguments(ConverterExecutable(), videoPath, jpegPath, seekMs);
  GrabSlot slot(m_bStopping);
  if (!slot.Held()) return GrabEnd::Cut;
  // A converter that finds no frame exits without touching its output, so a file left from
  // before (one that did not load, or an older picture of this path) would pass for this
  // grab's picture.
  if (PathExists(jpegPath)) RemoveFile(jpegPath);
  ChildProcess child;
  std::string error;
  bool started = false;
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    if (m_bStopping) return GrabEnd::Cut;
    started = child.Start(argv, &error);
    if (started) m_pGrab = &child;
  }
  if (!started) {
    WriteLog("缩略图进程启动失败：" + error, kVideoWndDlgTag);
    bool pipe = error.rfind("pipe", 0) == 0;
    Post(Message(WM_TILE_MESSAGE_BOX, 0, 0, pipe ? kPipeFailedText : kSpawnFailedText));
    return GrabEnd::Cut;
  }
  // The converter's output is not used, but it is drained so the converter never blocks on
  // a full pipe.
  const auto deadline = std::chrono::steady_clock::now() + kGrabTimeLimit;
  bool ended = false;
  std::string sink;
  for (;;) {
    sink.clear();
    if (child.Read(&sink, 200) == ChildProcess::ReadResult::End) break;
    if (m_bStopping || std::chrono::steady_clock::now() >= deadline) {
      ended = true;
      break;
    }
  }
  if (ended || !child.Wait(kGrabExitWaitMs)) {
    ended = true;
    child.Kill(SIGKILL);
  }
  child.Wait(-1);
  {
    std::lock_guard<std::mutex> threads(m_threadMutex);
    m_pGrab = nullptr;
    ended = ended || child.Signaled();
  }
  // A grab that was ended or failed (a full disk, say) may have left half a picture, or an
  // empty file.
  const bool failed = ended || child.ExitCode() != 0;
  if (failed && PathExists(jpegPath)) RemoveFile(jpegPath);
  if (ended) return GrabEnd::Cut;
  return !failed && IsRegularFile(jpegPath) ? GrabEnd::Picture : GrabEnd::NoPicture;
}

bool VideoWndCore::ApplyThumbnail(const std::string& jpegPath) {
  ThumbnailLoader loader;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strThumbnailPath = jpegPath;
    loader = m_Loader;
  }
  m_bHasThumbnail.store(true);
  bool loaded = loader ? loader(jpegPath) : DecodeJpegSize(jpegPath).width > 0;
  if (!loaded) m_bHasThumbnail.store(false);
  return loaded;
}

void VideoWndCore::PostRepaint() const { Post(Message(WM_TILE_REPAINT)); }

void VideoWndCore::Post(Message message) const {
  MessageTargetRef target;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    target = m_RepaintTarget;
  }
  PostTo(target, std::move(message));
}

bool VideoWndCore::WaitForStop(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> threads(m_threadMutex);
  return m_changed.wait_for(threads, timeout, [&] { return m_bStopping.load(); });
}

}  // namespace brisel

#pragma once

// One video of the library: the state its tile (CVideoWndDlg) shows, and the tile's
// background work — the probe (registration in the share catalogue and the four media values)
// and the thumbnail grab.
//
// Thread contract:
// - The owner (the tile widget and the video list, on the UI thread; the command line's main
//   thread) creates the object, calls the setters and Shutdown. StartProbe may also be called
//   from the video list's ProbeAll thread.
// - The probe thread and the thumbnail thread write the path, share key, display name,
//   thumbnail path, media values and flags; every accessor may be called from any thread
//   (strings under a lock, flags atomic).
// - Repaint requests reach the tile widget as WM_TILE_REPAINT posted to the repaint target,
//   from any of these threads; a converter that cannot be started posts WM_TILE_MESSAGE_BOX
//   (text = the box's text), which the widget shows.
// - The thumbnail loader is called on the thread that sets a thumbnail (the owner's for
//   SetThumbnail, the thumbnail thread after a grab).
// - Shutdown (also run by the destructor) stops both threads and joins them: a running grab is
//   killed by its pid, the probe finishes its current step. Afterwards no thread touches the
//   object, the catalogue or the loader. An owner whose loader or target refers to itself
//   calls Shutdown before it dies; the catalogue must outlive the object or its Shutdown.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/MediaInfoQuery.h"
#include "platform/Messages.h"

namespace brisel {

class ChildProcess;
class ShareCatalogue;

// Video states of a tile.
enum VideoState : int {
  VIDEO_IDLE = 0,         // not in conversion
  VIDEO_QUEUED = 1,       // queued for conversion
  VIDEO_CONVERTING = 2,   // being converted
  VIDEO_CONVERTED = 3,    // a converted file (output of a conversion)
  VIDEO_INTERRUPTED = 6,  // its task was loaded interrupted (transcoder status 6)
  VIDEO_MISSING = 8,      // the file was moved or deleted
};

// The longest path, in bytes, the probe registers and hands on (the catalogue's path buffer
// holds 511 bytes and a terminator); a longer one is neither registered nor given a thumbnail.
inline constexpr std::size_t kMaxProbePathBytes = 511;

// Where the grab starts (past the black lead-in of most videos) and the size of the picture
// it writes.
inline constexpr std::int64_t kThumbnailSeekMs = 15000;
inline constexpr const char* kThumbnailSize = "128x72";

// The grab's command line: seek to `seekMs` (not at all for 0: the first frame), overwrite the
// output, write one 128×72 frame as an image2 JPEG.
//   converter -ss 00:00:15 -i VIDEO -y -f image2 -s 128x72 -vframes 1 JPEG
std::vector<std::string> ThumbnailArguments(const std::string& converter, const std::string& video,
                                            const std::string& jpeg,
                                            std::int64_t seekMs = kThumbnailSeekMs);

// Where the second grab starts when the first wrote no picture, for a video whose duration
// (milliseconds, -1 unknown) the probe measured: a third into a video shorter than the usual
// seek point, past a fade-in as that point is for longer videos. Otherwise 0, the first frame:
// the duration is unknown, or the file claims a length its pictures do not reach (a video
// track shorter than the sound, a damaged index), and the first frame is the one every
// readable video has.
std::int64_t RetrySeekMs(std::int64_t durationMs);

class VideoWndCore {
 public:
  // True when the JPEG at the path loads as the tile's picture (its width is not 0).
  using ThumbnailLoader = std::function<bool(const std::string& jpegPath)>;

  // `catalogue` is the share catalogue the probe registers in (may be null: nothing is
  // registered). `path` is the tile path until the probe rewrites it.
  VideoWndCore(ShareCatalogue* catalogue, std::string path, int state = VIDEO_IDLE);
  ~VideoWndCore();
  VideoWndCore(const VideoWndCore&) = delete;
  VideoWndCore& operator=(const VideoWndCore&) = delete;

  // A video from the catalogue: its full path, share key, name, and whether it is registered
  // (then the probe neither registers it again nor makes a thumbnail).
  void SetVideoInfo(const std::string& path, const std::string& shareKey, const std::string& name,
                    bool registered);

  // Shows the JPEG at `jpegPath`: has-thumbnail and the thumbnail path are set, the loader
  // loads it; when it does not load, has-thumbnail is cleared and — once per object — the
  // thumbnail is made anew by a thumbnail thread.
  void SetThumbnail(const std::string& jpegPath);

  // Probes the video once: stores `path` as the tile path; a missing file makes the state 8
  // (the previous state saved) and the tile probed but never ready; otherwise the probe thread
  // starts. Later calls, and calls after Shutdown, do nothing.
  void StartProbe(const std::string& path);

  // Asks both threads to stop (kills a running grab) without waiting.
  void RequestStop();
  // RequestStop, then joins both threads. Idempotent.
  void Shutdown();

  // Waits until the probe has ended (or the object is shut down); true when it has.
  bool WaitProbed(std::chrono::milliseconds timeout);
  // Waits until neither the probe nor a thumbnail thread runs; true when none does.
  bool WaitForWorkers(std::chrono::milliseconds timeout);

  void SetRepaintTarget(MessageTargetRef target);
  // Replaces the default loader (a full JPEG decode); set it before anything is probed.
  void SetThumbnailLoader(ThumbnailLoader loader);

  // Any thread.
  std::string Path() const;
  std::string ShareKey() const;
  std::string DisplayName() const;
  std::string ThumbnailPath() const;
  MediaValues Values() const;
  bool Registered() const { return m_bRegistered.load(); }
  // What AddShareRecord answered (SHARE_ADD_OK, _FULL, _REJECTED, _UNWRITABLE), or -1 when the
  // probe did not register the video (it was registered already, its path was too long, or no
  // probe).
  int RegistrationResult() const { return m_nRegistration.load(); }
  // Why the record file could not be written (SHARE_ADD_UNWRITABLE), e.g. "No space left on
  // device".
  std::string RegistrationError() const;

  int State() const { return m_nState.load(); }
  int PreviousState() const { return m_nPreviousState.load(); }
  void SetState(int state) { m_nState.store(state); }
  // The file was found missing: the state is saved as the previous state and becomes 8.
  void MarkMissing();

  bool ProbeStarted() const { return m_bProbeStarted.load(); }
  bool Stopped() const { return m_bStopping.load(); }
  bool Probed() const { return m_bProbed.load(); }
  bool Ready() const { return m_bReady.load(); }
  bool HasThumbnail() const { return m_bHasThumbnail.load(); }
  bool Checked() const { return m_bChecked.load(); }
  void SetChecked(bool checked) { m_bChecked.store(checked); }
  bool Hover() const { return m_bHover.load(); }
  void SetHover(bool hover) { m_bHover.store(hover); }

 private:
  void ProbeThread();
  void ThumbnailThread();
  // Starts the thumbnail thread unless one runs or the object stops; joins a finished one.
  void StartThumbnailThread();
  enum class GrabEnd {
    Picture,    // the converter wrote the picture
    NoPicture,  // it ran to its end without one (a seek past the end, an unreadable file)
    Cut,        // it was stopped, ran too long, died by a signal or could not start
  };
  // One grab into `jpegPath` from `seekMs`; no file is left unless it ends with a picture.
  GrabEnd Grab(const std::string& videoPath, const std::string& jpegPath, std::int64_t seekMs);
  // Has-thumbnail, thumbnail path, loader; true when the picture loaded.
  bool ApplyThumbnail(const std::string& jpegPath);
  void PostRepaint() const;
  void Post(Message message) const;
  // Waits up to `timeout` for a stop request; true when one came.
  bool WaitForStop(std::chrono::milliseconds timeout);

  ShareCatalogue* const m_pCatalogue;

  mutable std::mutex m_mutex;  // the strings, the loader and the target
  std::string m_strPath;
  std::string m_strShareKey;
  std::string m_strName;
  std::string m_strThumbnailPath;
  std::string m_strRegistrationError;
  MediaValues m_Values;
  ThumbnailLoader m_Loader;
  MessageTargetRef m_RepaintTarget;

  std::atomic<bool> m_bRegistered{false};
  std::atomic<int> m_nRegistration{-1};
  std::atomic<int> m_nState;
  std::atomic<int> m_nPreviousState{VIDEO_IDLE};
  std::atomic<bool> m_bProbeStarted{false};
  std::atomic<bool> m_bProbed{false};
  std::atomic<bool> m_bReady{false};
  std::atomic<bool> m_bHasThumbnail{false};
  std::atomic<bool> m_bRegenerated{false};  // the one remake of a picture that did not load
  std::atomic<bool> m_bChecked{false};
  std::atomic<bool> m_bHover{false};

  // Threads, the running grab and the stop request.
  std::mutex m_threadMutex;
  std::condition_variable m_changed;     // probe ended, thumbnail thread ended, stop requested
  std::atomic<bool> m_bStopping{false};  // written under m_threadMutex
  bool m_bProbeRunning = false;
  bool m_bThumbnailRunning = false;
  ChildProcess* m_pGrab = nullptr;
  std::thread m_probeThread;
  std::thread m_thumbnailThread;
};

}  // namespace brisel

#include "ConService/Service.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "BriselDataManager/LogRecorder.h"
#include "ConService/ClientSlot.h"
#include "ConService/DlnaServer.h"
#include "ConService/HeadsetLibrary.h"
#include "ConService/Ipv4Address.h"
#include "ConService/LanServer.h"
#include "ConService/ListProtocol.h"
#include "ConService/MediaServer.h"
#include "ConService/ServiceDiagnostics.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel {
namespace {

constexpr const char* kServiceTag = "ConService\\Service";

std::uint64_t SystemMilliseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

Service::Service()
    : m_strRoot(GetDataFolder()),
      m_pDlna(std::make_unique<DlnaServer>(*this)),
      m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  CreateDirectories(ImageFolder());
}

Service::~Service() {
  StopServiceThreads();  // joins both threads, whether they run or ended by themselves
  SaveAllShareRecords();
  if (m_wakeFd >= 0) close(m_wakeFd);
}

std::string Service::RecordFilePath(const std::string& key) const {
  return m_strRoot + "/file_root/" + key;
}

std::string Service::ThumbnailPath(const std::string& key) const {
  return ImageFolder() + "/" + key + ".jpg";
}

ShareList* Service::ListOf(std::uint8_t listType) {
  if (listType == SHARE_LIST_ORDINARY) return &m_list1;
  if (listType == SHARE_LIST_CONVERTED) return &m_list2;
  return nullptr;
}

const ShareList* Service::ListOf(std::uint8_t listType) const {
  return const_cast<Service*>(this)->ListOf(listType);
}

int Service::AddShareRecord(const std::string& path, std::uint8_t listType, std::string* keyOut,
                            std::string* errorOut) {
  ShareList* list = ListOf(listType);
  std::size_t slash = path.rfind('/');
  if (!list || path.empty() || slash == std::string::npos || path.size() > kMaxSharePathBytes ||
      path.find('\0') != std::string::npos)
    return SHARE_ADD_REJECTED;
  std::string name = path.substr(slash + 1);
  if (name.empty() || name.size() > kMaxShareNameBytes) return SHARE_ADD_REJECTED;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (list->Count() + list->m_nReserved >= kMaxShareRecords) return SHARE_ADD_FULL;
    ++list->m_nReserved;  // keeps concurrent adds from overfilling the list
  }
  ShareRecord record;
  record.type = listType;
  record.name = std::move(name);
  record.key = ShareRecord::MakeKey(path);
  record.path = path;
  if (!WriteRecordFile(record)) {
    // A record phones could see now but that would be gone at the next start is not added:
    // the catalogue in memory stays what file_root holds.
    if (errorOut) *errorOut = std::strerror(errno);
    std::lock_guard<std::mutex> lock(m_mutex);
    --list->m_nReserved;
    return SHARE_ADD_UNWRITABLE;
  }
  record.BuildListEntry();
  if (keyOut) *keyOut = record.key;
  std::lock_guard<std::mutex> lock(m_mutex);
  --list->m_nReserved;
  list->Append(std::move(record));
  return SHARE_ADD_OK;
}

bool Service::WriteRecordFile(ShareRecord& record) const {
  if (record.name.empty() || record.path.empty() || record.key.size() != kShareKeyLength)
    return true;
  record.RetestPresence(ImageFolder());
  const std::string bytes = record.RecordFileBytes();
  const std::string file = RecordFilePath(record.key);
  if (ReadWholeFile(file, kMaxRecordFileBytes) == bytes) return true;
  if (WriteFileAtomically(file, bytes)) return true;
  // The folder may have gone: make it again and try once more.
  const int first = errno;
  if (!CreateDirectories(DirName(file))) {
    errno = first;
    return false;
  }
  return WriteFileAtomically(file, bytes);
}

void Service::LoadShareRecord(const std::string& key) {
  if (key.size() != kShareKeyLength) return;
  const std::string file = RecordFilePath(key);
  if (!FileExistsAnsi(file)) return;
  ShareRecord record;
  std::optional<std::string> bytes = ReadWholeFile(file, kMaxRecordFileBytes);
  bool usable = bytes && ShareRecord::ParseRecordFile(*bytes, &record) && ListOf(record.type) &&
                record.IsWellFormed() && record.name.size() <= kMaxShareNameBytes &&
                !record.path.empty() && record.path.size() <= kMaxSharePathBytes;
  if (!usable) {
    ServiceDiagnostic("skip record file %s\n", key.c_str());
    return;
  }
  record.hasVideo = record.hasVideo ? 1 : 0;
  record.hasImage = record.hasImage ? 1 : 0;
  record.BuildListEntry();
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(record.type);
  if (list->Count() + list->m_nReserved >= kMaxShareRecords) {
    ServiceDiagnostic("skip record file %s: list %d is full\n", key.c_str(), record.type);
    return;
  }
  list->Append(std::move(record));
}

void Service::LoadAllShareRecords() {
  const std::string folder = m_strRoot + "/file_root";
  // Half-written record files of a save that was killed.
  RemoveAbandonedTemporaryFiles(folder);
  std::vector<std::string> names = ListDirectory(folder);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (IsDirectory(folder + "/" + name)) continue;
    LoadShareRecord(name);
  }
}

bool Service::RemoveShareRecord(std::uint8_t listType, const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(listType);
  ShareRecord removed;
  if (!list || !list->RemoveByPath(path, &removed)) return false;
  // Both files belong to the key; a twin record (the same path added again) keeps them, and
  // its record file is rewritten so that it names the twin's list.
  for (ShareList* other : {&m_list1, &m_list2}) {
    for (ShareRecord& record : other->Records()) {
      if (record.key != removed.key) continue;
      WriteRecordFile(record);
      other->InvalidateWire();
      return true;
    }
  }
  const std::string file = RecordFilePath(removed.key);
  if (FileExistsAnsi(file)) RemoveFile(file);
  const std::string thumbnail = ThumbnailPath(removed.key);
  if (FileExistsAnsi(thumbnail)) RemoveFile(thumbnail);
  return true;
}

bool Service::NextShareRecord(std::uint8_t listType, ShareRecord* out) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(listType);
  return list && list->Next(out);
}

bool Service::FindShareRecord(std::uint8_t listType, const std::string& path,
                              ShareRecord* out) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (std::uint8_t type : {SHARE_LIST_ORDINARY, SHARE_LIST_CONVERTED}) {
    if (listType != 0 && listType != type) continue;
    for (const ShareRecord& record : ListOf(type)->Records()) {
      if (record.path != path) continue;
      if (out) *out = record;
      return true;
    }
  }
  return false;
}

std::uint32_t Service::ShareRecordCount(std::uint8_t listType) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const ShareList* list = ListOf(listType);
  return list ? list->Count() : 0;
}

void Service::SaveAllShareRecords() {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (ShareList* list : {&m_list1, &m_list2}) {
    for (ShareRecord& record : list->Records()) WriteRecordFile(record);
    list->InvalidateWire();
  }
}

const std::string& Service::SerializeLocked(ShareList& list, bool* changed) {
  bool retest = std::chrono::steady_clock::now() - list.LastPresenceTest() >= m_presenceInterval;
  return list.Serialize(ImageFolder(), retest, m_pListener, changed);
}

std::string Service::SerializeList(std::uint8_t listType, bool* changed) {
  bool presenceChanged = false;
  std::string out;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ShareList* list = ListOf(listType)) out = SerializeLocked(*list, &presenceChanged);
  }
  if (changed) *changed = presenceChanged;
  return out;
}

ShareCatalogueSnapshot Service::SnapshotCatalogue() const {
  ShareCatalogueSnapshot snapshot;
  std::lock_guard<std::mutex> lock(m_mutex);
  snapshot.revisions[0] = m_list1.Revision();
  snapshot.revisions[1] = m_list2.Revision();
  snapshot.lists[0].assign(m_list1.Records().begin(), m_list1.Records().end());
  snapshot.lists[1].assign(m_list2.Records().begin(), m_list2.Records().end());
  return snapshot;
}

std::uint64_t Service::CatalogueRevision(std::uint8_t listType) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const ShareList* list = ListOf(listType);
  return list ? list->Revision() : 0;
}

void Service::SetFileStatusChangeListener(FileStatusChangeListener* listener) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pListener = listener;
}

void Service::SetPresenceRetestInterval(std::chrono::milliseconds interval) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_presenceInterval = interval;
}

}  // namespace brisel

namespace brisel {

// --- Service threads ---

std::string Service::ServiceAddress() const {
  std::lock_guard<std::mutex> lock(m_controlMutex);
  return m_strAddress;
}

std::uint8_t Service::SetServiceAddress(const std::string& address) {
  std::optional<Ipv4Address> wanted = Ipv4Address::Parse(address);
  if (!wanted) return 0;
  std::lock_guard<std::mutex> lock(m_controlMutex);
  std::optional<Ipv4Address> current = Ipv4Address::Parse(m_strAddress);
  if (current && *current == *wanted) return 0;
  m_strAddress = wanted->Text();
  if (m_flags.load() != 0 || m_nLiveLoops.load() != 0) {
    StopLocked();
    ServiceDiagnostic("服务器关闭suc!\n");
  }
  return StartLocked() ? 1 : 0;
}

bool Service::StartServiceThreads() {
  std::lock_guard<std::mutex> lock(m_controlMutex);
  return StartLocked();
}

void Service::SetDlnaServerEnabled(bool enabled) {
  std::lock_guard<std::mutex> lock(m_controlMutex);
  m_bDlnaEnabled = enabled;
}

void Service::StopServiceThreads() {
  std::lock_guard<std::mutex> lock(m_controlMutex);
  StopLocked();
}

bool Service::StartLocked() {
  if (m_strAddress.empty() || m_flags.load() != 0 || m_nLiveLoops.load() != 0) return false;
  // Threads of an earlier start have ended by themselves (their sockets failed).
  if (m_udpThread.joinable()) m_udpThread.join();
  if (m_httpThread.joinable()) m_httpThread.join();
  m_pDlna->Stop();  // one that gave up at its start has ended: join it
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_state = ThreadsState{};
    m_nSettled = 0;
    m_nStarted = 2;
  }
  m_nLiveLoops = 2;
  m_udpThread = std::thread(&Service::UdpLoop, this, m_strAddress);
  m_httpThread = std::thread(&Service::HttpLoop, this, m_strAddress);
  m_bDlnaStarted = m_bDlnaEnabled && m_pDlna->Start(m_strAddress);
  return true;
}

void Service::StopLocked() {
  m_pDlna->RequestStop();  // its goodbye goes out while the other loops end
  m_flags.fetch_or(SERVICE_UDP_STOP | SERVICE_HTTP_STOP);
  if (m_wakeFd >= 0) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(m_wakeFd, &one, sizeof one);
  }
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_stateChanged.notify_all();
  }
  if (m_udpThread.joinable()) m_udpThread.join();
  if (m_httpThread.joinable()) m_httpThread.join();
  m_pDlna->Stop();
  m_flags.fetch_and(~(SERVICE_UDP_STOP | SERVICE_HTTP_STOP));
}

Service::ThreadsState Service::WaitForServiceThreads(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  ThreadsState state;
  {
    std::unique_lock<std::mutex> lock(m_stateMutex);
    m_stateChanged.wait_until(lock, deadline, [this] { return m_nSettled >= m_nStarted; });
    state = m_state;
    state.settled = m_nSettled >= m_nStarted;
  }
  bool dlnaStarted = false;
  {
    std::lock_guard<std::mutex> lock(m_controlMutex);
    dlnaStarted = m_bDlnaStarted;
  }
  if (dlnaStarted) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    DlnaServer::State dlna =
        m_pDlna->WaitUntilSettled(std::max(left, std::chrono::milliseconds(0)));
    state.dlnaEnabled = true;
    state.settled = state.settled && dlna.settled;
    state.dlnaRunning = dlna.running;
    state.dlnaError = dlna.error;
    state.dlnaLocation = dlna.location;
  }
  return state;
}

void Service::Settle(Loop loop, bool running, const std::string& error) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  if (loop == Loop::Udp) {
    m_state.udpRunning = running;
    m_state.udpError = error;
  } else {
    m_state.httpRunning = running;
    m_state.httpError = error;
  }
  ++m_nSettled;
  m_stateChanged.notify_all();
}

void Service::UdpLoop(std::string address) {
  pthread_setname_np(pthread_self(), "UDP线程");
  auto server = std::make_unique<LanServer>(this, &m_nConnected, m_wakeFd);
  std::string error;
  if (!server->Open(address, &error)) {
    WriteLog("列表服务未能启动：" + error, kServiceTag);
    ServiceDiagnostic("%s\n", error.c_str());
    Settle(Loop::Udp, false, error);
    m_nLiveLoops.fetch_sub(1);
    return;
  }
  m_pLanServer = server.get();
  m_flags.fetch_or(SERVICE_UDP_RUNNING);
  Settle(Loop::Udp, true, {});
  while ((m_flags.load() & SERVICE_UDP_RUNNING) && !(m_flags.load() & SERVICE_UDP_STOP)) {
    server->Poll();
  }
  server->CloseAll();
  m_pLanServer = nullptr;
  server.reset();
  m_flags.fetch_and(~(SERVICE_UDP_RUNNING | SERVICE_UDP_STOP));
  m_nLiveLoops.fetch_sub(1);
}

void Service::HttpLoop(std::string address) {
  pthread_setname_np(pthread_self(), "HTTP线程");
  HeadsetLibrary library(*this, address, kHttpPort);
  MediaServer server;
  server.SetHeadsetLibrary(&library);
  std::string error;
  if (!server.Start(address, kHttpPort, m_strRoot + "/file_root", &error)) {
    WriteLog("HTTP服务未能启动：" + error, kServiceTag);
    ServiceDiagnostic("%s\n", error.c_str());
    Settle(Loop::Http, false, error);
    m_nLiveLoops.fetch_sub(1);
    return;
  }
  m_flags.fetch_or(SERVICE_HTTP_RUNNING);
  Settle(Loop::Http, true, {});
  // Media values are probed here while the thread has nothing else to do, so that a headset's
  // first request finds them ready: every second the shared videos are looked up, which costs
  // a file test for each video already known and a probe for each new one.
  {
    auto running = [this] {
      return (m_flags.load() & SERVICE_HTTP_RUNNING) && !(m_flags.load() & SERVICE_HTTP_STOP);
    };
    std::unique_lock<std::mutex> lock(m_stateMutex);
    while (running()) {
      lock.unlock();
      const ShareCatalogueSnapshot catalogue = SnapshotCatalogue();
      for (const std::vector<ShareRecord>& list : catalogue.lists) {
        for (const ShareRecord& record : list) {
          if (!running()) break;
          m_media.Lookup(record.path);
        }
      }
      lock.lock();
      if (running()) m_stateChanged.wait_for(lock, std::chrono::seconds(1));
    }
  }
  server.Stop();
  ServiceDiagnostic("关闭http服务完毕 %u!\n", m_flags.load());
  m_flags.fetch_and(~(SERVICE_HTTP_RUNNING | SERVICE_HTTP_STOP));
  m_nLiveLoops.fetch_sub(1);
}

// --- List protocol ---

void Service::SetListStampClockForTesting(std::function<std::uint64_t()> clock) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_stampClock = std::move(clock);
}

std::uint32_t Service::NextListStampLocked() {
  std::uint32_t now =
      static_cast<std::uint32_t>(m_stampClock ? m_stampClock() : SystemMilliseconds());
  if (m_nLastStamp != 0 && static_cast<std::int32_t>(now - m_nLastStamp) <= 0) {
    now = m_nLastStamp + 1;
  }
  if (now == 0) now = 1;
  m_nLastStamp = now;
  return now;
}

std::size_t Service::BuildListReply(std::uint8_t listType, ClientSlot& connection,
                                    std::uint32_t phoneStamp) {
  ShareList* list = ListOf(listType);
  if (!list) return 0;
  const std::uint16_t command = listType == SHARE_LIST_ORDINARY ? kCommandList1 : kCommandList2;
  std::lock_guard<std::mutex> lock(m_mutex);
  bool presenceChanged = false;
  const std::string& wire = SerializeLocked(*list, &presenceChanged);
  if ((list->Changed() || presenceChanged) && m_pLanServer) {
    list->ClearChanged();
    const std::uint32_t now = NextListStampLocked();
    for (ClientSlot& slot : m_pLanServer->Slots()) {
      if (slot.InUse()) slot.stamp = now;
    }
  }
  if (connection.stamp == 0) connection.stamp = NextListStampLocked();

  const bool withList = connection.stamp != phoneStamp;
  const std::size_t length = kListReplyHeaderSize + (withList ? wire.size() : 0) + 4;
  if (m_reply.size() < length) m_reply.resize(length);
  std::uint8_t* out = m_reply.data();
  std::memcpy(out, kLanMagic, 4);
  out[4] = kLanVersion;
  WriteLe16(out + 5, command);
  WriteLe32(out + 7, connection.stamp);
  std::size_t pos = kListReplyHeaderSize;
  if (withList) {
    std::memcpy(out + pos, wire.data(), wire.size());
    pos += wire.size();
  }
  std::memcpy(out + pos, kLanTrailer, 4);
  return pos + 4;
}

void Service::HandlePacket(ClientSlot& connection, int length) {
  if (length <= 0) return;
  const std::size_t received =
      std::min<std::size_t>(static_cast<std::size_t>(length), connection.buffer.size());
  ServiceHexDump("请求数据", connection.buffer.data(), received);
  // Bytes the phone did not send read as 0.
  std::uint8_t request[kListRequestSize] = {};
  std::memcpy(request, connection.buffer.data(), std::min(received, sizeof request));
  if (std::memcmp(request, kLanMagic, 4) == 0 && request[4] == kLanVersion) {
    const std::uint16_t command = ReadLe16(request + 5);
    if (command == kCommandList1 || command == kCommandList2) {
      const std::size_t n =
          BuildListReply(command == kCommandList1 ? SHARE_LIST_ORDINARY : SHARE_LIST_CONVERTED,
                         connection, ReadLe32(request + 7));
      SendAll(connection.socket, m_reply.data(), n);
      return;
    }
  }
  static const std::uint8_t kGenericReply[kGenericReplySize] = {'q',  'm',  't', 'k', 1,
                                                                0xFF, 0xFF, 0,   0,   0};
  SendAll(connection.socket, kGenericReply, sizeof kGenericReply);
}

void Service::SendAll(int socket, const std::uint8_t* data, std::size_t length) {
  // The connection is non-blocking: a phone that does not read loses the rest of this reply
  // rather than stalling every other phone.
  while (length > 0) {
    ssize_t n = send(socket, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
}

}  // namespace brisel

#include "platform/registry/RegStore.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <thread>

#include "platform/LastError.h"
#include "platform/Log.h"

namespace {

// A store file larger than this is taken for damage, not for settings.
constexpr int64_t kMaxStoreSize = 64 << 20;
// How long a change waits for another process's change to finish.
constexpr auto kLockWait = std::chrono::seconds(15);

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;  // relative values are ignored
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
  struct passwd pw, *found = nullptr;
  char buf[4096];
  if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/')
    return std::string(found->pw_dir) + "/.config";
  return "";
}

class CFd {
 public:
  explicit CFd(int fd = -1) : fd_(fd) {}
  ~CFd() {
    if (fd_ >= 0) close(fd_);
  }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int Get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, int64_t size, std::string& out) {
  out.assign(static_cast<size_t>(size), '\0');
  int64_t done = 0;
  while (done < size) {
    ssize_t n = pread(fd, out.data() + done, static_cast<size_t>(size - done), done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;  // shrank while we read
    done += n;
  }
  out.resize(static_cast<size_t>(done));
  return true;
}

}  // namespace

CRegStore* CRegStore::Get(TRegRoot root) {
  const char* name = RegRootName(root);
  if (name == nullptr) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string folder = ConfigFolder();
  if (folder.empty()) {
    LogFmt("registry: no home folder to keep the settings in");
    SetLastError(REG_ERROR_ACCESS_DENIED);
    return nullptr;
  }
  std::string dir = folder + "/quillon";
  // Never freed: keys may be used by objects destroyed at process exit.
  static auto* guard = new std::mutex;
  static auto* stores = new std::map<std::string, CRegStore*>;
  std::lock_guard<std::mutex> hold(*guard);
  std::string file = dir + "/" + name + ".reg";
  auto it = stores->find(file);
  if (it == stores->end()) {
    // The config folder moved (its variable changed): stores of other
    // folders let go of their files; they read them again if used.
    for (auto& [path, other] : *stores)
      if (path.compare(0, dir.size() + 1, dir + "/") != 0) other->Forget();
    it = stores->emplace(file, new CRegStore(root, dir)).first;
  }
  return it->second;
}

CRegStore::CRegStore(TRegRoot root, std::string dir)
    : root_(root), dir_(std::move(dir)), file_(dir_ + "/" + RegRootName(root) + ".reg") {}

void CRegStore::Forget() {
  // A store busy in a batch keeps its file; waiting here could deadlock.
  std::unique_lock<std::recursive_mutex> hold(mutex_, std::try_to_lock);
  if (!hold.owns_lock() || batchDepth_ > 0) return;
  if (heldFd_ >= 0) close(heldFd_);
  heldFd_ = -1;
  identity_ = TIdentity{};
  SetEmpty(TState::kMissing);
}

void CRegStore::SetEmpty(TState state) {
  tree_ = CRegTree();
  state_ = state;
}

void CRegStore::Refresh() {
  struct stat st;
  if (stat(file_.c_str(), &st) != 0) {
    int err = errno;
    if (err == ENOENT || err == ENOTDIR) {
      if (state_ != TState::kMissing) {
        if (heldFd_ >= 0) close(heldFd_);
        heldFd_ = -1;
        identity_ = TIdentity{};
        SetEmpty(TState::kMissing);
      }
      return;
    }
    if (state_ != TState::kUnreadable)
      LogFmt("registry: can't look at %s (%s); its settings are read as empty", file_.c_str(),
             std::strerror(err));
    identity_ = TIdentity{};
    SetEmpty(TState::kUnreadable);
    return;
  }
  TIdentity now{st.st_dev, st.st_ino, static_cast<int64_t>(st.st_size),
                static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  bool sameFile = now == identity_;
  if (sameFile && (state_ == TState::kGood || state_ == TState::kCorrupt)) return;
  // An unreadable file is tried again each time: a change of its permissions
  // does not show in the identity.
  bool known = sameFile && state_ == TState::kUnreadable;

  if (heldFd_ >= 0) close(heldFd_);
  heldFd_ = -1;
  identity_ = now;
  int fd = open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (!known)
      LogFmt("registry: can't read %s (%s); its settings are read as empty", file_.c_str(),
             std::strerror(errno));
    SetEmpty(TState::kUnreadable);
    return;
  }
  heldFd_ = fd;
  // Identity of what was opened, in case the file was replaced after stat.
  if (fstat(fd, &st) == 0)
    identity_ =
        TIdentity{st.st_dev, st.st_ino, static_cast<int64_t>(st.st_size),
                  static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  if (!S_ISREG(st.st_mode)) {
    if (!known)
      LogFmt("registry: %s is not a regular file; its settings are read as empty", file_.c_str());
    SetEmpty(TState::kUnreadable);
    return;
  }
  std::string text, error;
  if (identity_.size > kMaxStoreSize) {
    error = "larger than any settings file";
  } else if (!ReadAll(fd, identity_.size, text)) {
    LogFmt("registry: can't read %s (%s); its settings are read as empty", file_.c_str(),
           std::strerror(errno));
    SetEmpty(TState::kUnreadable);
    return;
  }
  if (error.empty() && tree_.Parse(text, error)) {
    state_ = TState::kGood;
    return;
  }
  LogFmt(
      "registry: %s is corrupt (%s); its settings are read as empty and the file is kept "
      "as a copy before it is next written",
      file_.c_str(), error.c_str());
  SetEmpty(TState::kCorrupt);
}

bool CRegStore::MakeFolder() {
  // Each missing level, from the top; one made meanwhile by another process is fine.
  for (size_t i = 1; i <= dir_.size(); ++i) {
    if (i != dir_.size() && dir_[i] != '/') continue;
    std::string level = dir_.substr(0, i);
    if (mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
      LogFmt("registry: can't create the folder %s (%s)", level.c_str(), std::strerror(errno));
      return false;
    }
  }
  struct stat st;
  if (stat(dir_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    LogFmt("registry: %s is not a folder", dir_.c_str());
    return false;
  }
  return true;
}

bool CRegStore::KeepCorruptCopy() {
  char stamp[32];
  std::time_t t = std::time(nullptr);
  struct tm tm;
  gmtime_r(&t, &tm);
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm);
  for (int n = 0; n < 100; ++n) {
    std::string copy = file_ + ".corrupt-" + stamp;
    if (n > 0) copy += "-" + std::to_string(n);
    // A hard link keeps the very bytes without copying them.
    if (link(file_.c_str(), copy.c_str()) == 0) {
      LogFmt("registry: kept the corrupt %s as %s", file_.c_str(), copy.c_str());
      return true;
    }
    if (errno == EEXIST) continue;
    // No hard links here: copy the bytes of the file we read.
    std::string text;
    struct stat st;
    CFd out(open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.Get() < 0 && errno == EEXIST) continue;
    if (heldFd_ >= 0 && out.Get() >= 0 && fstat(heldFd_, &st) == 0 &&
        ReadAll(heldFd_, st.st_size, text) && WriteAll(out.Get(), text.data(), text.size()) &&
        fsync(out.Get()) == 0) {
      LogFmt("registry: kept the corrupt %s as %s", file_.c_str(), copy.c_str());
      return true;
    }
    LogFmt("registry: can't keep a copy of the corrupt %s (%s); it is not replaced", file_.c_str(),
           std::strerror(errno));
    if (out.Get() >= 0) unlink(copy.c_str());
    return false;
  }
  LogFmt("registry: too many kept copies of %s; it is not replaced", file_.c_str());
  return false;
}

bool CRegStore::WriteTree(const CRegTree& tree) {
  std::string text = tree.Serialize(RegRootName(root_));
  std::string temp = file_ + ".tmp";
  CFd fd(open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  bool ok = fd.Get() >= 0 && WriteAll(fd.Get(), text.data(), text.size()) && fsync(fd.Get()) == 0 &&
            rename(temp.c_str(), file_.c_str()) == 0;
  if (!ok) {
    LogFmt("registry: can't write %s (%s)", file_.c_str(), std::strerror(errno));
    if (fd.Get() >= 0) unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  CFd dir(open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) fsync(dir.Get());

  struct stat st;
  if (heldFd_ >= 0) close(heldFd_);
  heldFd_ = -1;
  identity_ = TIdentity{};
  if (fstat(fd.Get(), &st) == 0) {
    identity_ =
        TIdentity{st.st_dev, st.st_ino, static_cast<int64_t>(st.st_size),
                  static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    heldFd_ = fd.Release();
  }
  tree_ = tree;
  state_ = TState::kGood;
  return true;
}

int CRegStore::LockForChange() {
  if (!MakeFolder()) {
    SetLastError(REG_ERROR_ACCESS_DENIED);
    return -1;
  }
  std::string lockPath = file_ + ".lock";
  CFd lock(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.Get() < 0) {
    LogFmt("registry: can't open the lock file %s (%s)", lockPath.c_str(), std::strerror(errno));
    SetLastError(REG_ERROR_ACCESS_DENIED);
    return -1;
  }
  // Poll rather than block, so a stopped process can't stall us for ever.
  auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline) {
      LogFmt("registry: can't lock %s (%s)", lockPath.c_str(),
             errno == EWOULDBLOCK ? "another process holds it" : std::strerror(errno));
      SetLastError(REG_ERROR_ACCESS_DENIED);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  Refresh();
  if (state_ == TState::kUnreadable) {
    LogFmt("registry: %s can't be read, so it is not replaced", file_.c_str());
    SetLastError(REG_ERROR_ACCESS_DENIED);
    return -1;
  }
  // The lock goes with the descriptor when it is closed.
  return lock.Release();
}

bool CRegStore::Store(const CRegTree& next) {
  if (state_ == TState::kGood && next == tree_) return true;  // nothing to write
  if (state_ == TState::kMissing && next == CRegTree()) return true;
  if ((state_ == TState::kCorrupt && !KeepCorruptCopy()) || !WriteTree(next)) {
    SetLastError(REG_ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

int CRegStore::Change(const std::function<bool(CRegTree&)>& change) {
  std::lock_guard<std::recursive_mutex> hold(mutex_);
  if (batchDepth_ > 0) {
    // Inside this thread's batch: the lock is held, the write comes at its end.
    CRegTree next = tree_;
    if (!change(next)) return 0;
    tree_ = std::move(next);
    return 1;
  }
  CFd lock(LockForChange());
  if (lock.Get() < 0) return 0;
  CRegTree next = tree_;
  if (!change(next)) return 0;
  return Store(next) ? 1 : 0;
}

int CRegStore::BeginBatch() {
  mutex_.lock();
  if (batchDepth_ == 0) {
    batchLockFd_ = LockForChange();
    if (batchLockFd_ < 0) {
      mutex_.unlock();
      return 0;
    }
    batchStart_ = tree_;
  }
  ++batchDepth_;
  return 1;
}

int CRegStore::EndBatch() {
  int ok = 1;
  if (--batchDepth_ == 0) {
    // Store compares against the contents as they were read, not as changed.
    CRegTree changed = std::move(tree_);
    tree_ = std::move(batchStart_);
    batchStart_ = CRegTree();
    if (!Store(changed)) ok = 0;
    close(batchLockFd_);
    batchLockFd_ = -1;
  }
  mutex_.unlock();
  return ok;
}

#include "platform/os/Display.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace os {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Connects to a local stream socket; abstract names start with '@'.
bool ConnectLocal(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.data(), path.size());
  socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  if (path[0] == '@') addr.sun_path[0] = 0;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
  close(fd);
  return ok;
}

// A TCP connection within a second.
bool ConnectTcp(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool ok = false;
  for (addrinfo* a = found; a && !ok; a = a->ai_next) {
    int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
      ok = true;
    } else if (errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int err = 0;
      socklen_t len = sizeof err;
      ok = poll(&p, 1, 1000) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 &&
           err == 0;
    }
    close(fd);
  }
  freeaddrinfo(found);
  return ok;
}

bool WaylandReachable() {
  std::string name = Env("WAYLAND_DISPLAY");
  if (name.empty()) return false;
  if (name[0] != '/') {
    std::string runtime = Env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    name = runtime + "/" + name;
  }
  return ConnectLocal(name);
}

bool XReachable() {
  std::string host;
  int number = XDisplayNumber(Env("DISPLAY"), &host);
  if (number < 0) return false;
  if (host.empty() || host == "unix") {
    std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    return ConnectLocal("@" + path) || ConnectLocal(path);
  }
  return ConnectTcp(host, 6000 + number);
}

}  // namespace

int XDisplayNumber(const std::string& display, std::string* host) {
  size_t colon = display.rfind(':');
  if (colon == std::string::npos || colon + 1 >= display.size()) return -1;
  *host = display.substr(0, colon);
  char* end = nullptr;
  long n = std::strtol(display.c_str() + colon + 1, &end, 10);
  if (end == display.c_str() + colon + 1 || (*end != 0 && *end != '.') || n < 0 || n > 65535 - 6000)
    return -1;
  return static_cast<int>(n);
}

TDisplayKind ReachableDisplay() {
  std::string platform = Env("QT_QPA_PLATFORM");
  if (platform == "offscreen" || platform == "minimal") return TDisplayKind::Virtual;
  if (WaylandReachable()) return TDisplayKind::Wayland;
  if (XReachable()) return TDisplayKind::X11;
  return TDisplayKind::None;
}

}  // namespace os

// One running client: the primary holds an open-file-description lock on "<name>.lock" for
// its life and answers commands on the socket "<name>.socket" beside it (plain "lock" and
// "socket" in a folder of the name's own). The system drops the lock when the primary ends,
// however it ends, and the next primary replaces the socket it left. Others test the lock
// without taking it, so a probe never stops a client that is starting at the same moment.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/linux/wide_text.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxCommand = 64;
constexpr const char* kAnswer = "done\n";
constexpr guint kClientTimeoutMs = 5000;
constexpr auto kRetryPause = std::chrono::milliseconds(20);

bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 022) == 0;
}

// Nobody else may rename a folder of ours inside it and put theirs in its place.
bool IsSafeParent(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           (info.st_uid == getuid() || info.st_uid == 0) &&
           ((info.st_mode & 022) == 0 || (info.st_mode & S_ISVTX) != 0);
}

std::string AbsoluteFromEnvironment(const char* variable) {
    const char* value = getenv(variable);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string CacheHome() {
    std::string cache = AbsoluteFromEnvironment("XDG_CACHE_HOME");
    if (cache.empty()) {
        std::string home = AbsoluteFromEnvironment("HOME");
        if (home.empty()) {
            const passwd* entry = getpwuid(getuid());
            home = entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
        }
        cache = home.empty() ? std::string() : home + "/.cache";
    }
    return cache;
}

struct Folder {
    std::string path;
    // A folder for this name alone, whose files need not carry the name: the socket's path
    // then fits in its address below a deeper cache folder too.
    bool ofName = false;
};

// $XDG_RUNTIME_DIR when it is ours alone, else <cache home>/<name> (made private when create);
// empty when neither can be had. A shared folder such as /tmp is never used: another user
// could hold the place there first, and then "exit" or a second start would find no client.
Folder RuntimeFolder(const std::string& name, bool create) {
    const std::string runtime = AbsoluteFromEnvironment("XDG_RUNTIME_DIR");
    if (!runtime.empty() && IsPrivateFolder(runtime)) {
        return {runtime, false};
    }
    const std::string cache = CacheHome();
    if (cache.empty() || (create && g_mkdir_with_parents(cache.c_str(), 0700) != 0) ||
        !IsSafeParent(cache)) {
        return {};
    }
    const std::string folder = cache + "/" + name;
    if (create && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    return IsPrivateFolder(folder) ? Folder{folder, true} : Folder{};
}

struct Paths {
    std::string lock;
    sockaddr_un socket{};
    bool ok = false;
};

// Only the primary creates the folder: a sender finds no client where there is none.
Paths PathsFor(const std::wstring& wideName, bool create) {
    Paths paths;
    const std::string name = detail::ToUtf8(wideName);
    if (name.empty() || name.find('/') != std::string::npos) {
        return paths;
    }
    const Folder folder = RuntimeFolder(name, create);
    const std::string stem = folder.path + "/" + (folder.ofName ? std::string() : name + ".");
    const std::string socketPath = stem + "socket";
    if (folder.path.empty() || socketPath.size() >= sizeof(paths.socket.sun_path)) {
        return paths;
    }
    paths.lock = stem + "lock";
    paths.socket.sun_family = AF_UNIX;
    std::memcpy(paths.socket.sun_path, socketPath.c_str(), socketPath.size() + 1);
    paths.ok = true;
    return paths;
}

int OpenLockFile(const std::string& path) {
    return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

struct flock WholeFileLock() {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return lock;
}

// Whether some process holds the lock; the test takes nothing.
bool LockIsHeld(const std::string& path) {
    const int fd = OpenLockFile(path);
    if (fd < 0) {
        return false;
    }
    struct flock lock = WholeFileLock();
    const bool held = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    close(fd);
    return held;
}

bool PeerIsSameUser(int fd) {
    struct ucred peer {};
    socklen_t length = sizeof(peer);
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == getuid();
}

bool IsCommandText(const std::string& text) {
    if (text.empty() || text.size() > kMaxCommand) {
        return false;
    }
    for (char c : text) {
        if (!g_ascii_isalnum(c) && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}

// One sender's connection on the primary's side; it owns its socket and frees itself, so a
// handler that ends the primary (the exit command) still has its sender answered.
struct Connection {
    int fd = -1;
    std::string received;
    guint readSource = 0;
    guint timeoutSource = 0;
    SingleInstance::CommandHandler handler;
    // Cleared when the primary gives its place up: commands still arriving are not run.
    std::shared_ptr<bool> listening;

    void Finish() {
        if (readSource != 0) {
            g_source_remove(readSource);
        }
        if (timeoutSource != 0) {
            g_source_remove(timeoutSource);
        }
        close(fd);
        delete this;
    }
};

gboolean OnConnectionReadable(gint fd, GIOCondition, gpointer data) {
    auto* connection = static_cast<Connection*>(data);
    char buffer[kMaxCommand + 2];
    const ssize_t count = recv(fd, buffer, sizeof(buffer), 0);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        return G_SOURCE_CONTINUE;
    }
    if (count > 0) {
        connection->received.append(buffer, static_cast<size_t>(count));
    }
    const auto end = connection->received.find('\n');
    if (end == std::string::npos && count > 0 && connection->received.size() <= kMaxCommand) {
        return G_SOURCE_CONTINUE;
    }
    connection->readSource = 0;  // this source ends with this call
    const std::string command = connection->received.substr(0, end);
    if (end != std::string::npos && IsCommandText(command) && *connection->listening) {
        // The handler may end the primary; the connection and its copy of the handler stay.
        connection->handler(command);
        send(fd, kAnswer, strlen(kAnswer), MSG_NOSIGNAL);
    }
    connection->Finish();
    return G_SOURCE_REMOVE;
}

}  // namespace

struct SingleInstance::Impl {
    int lockFd = -1;
    int listenFd = -1;
    guint acceptSource = 0;
    std::string socketPath;
    CommandHandler handler;
    std::shared_ptr<bool> listening = std::make_shared<bool>(true);

    ~Impl() {
        *listening = false;
        if (acceptSource != 0) {
            g_source_remove(acceptSource);
        }
        if (listenFd >= 0) {
            close(listenFd);
            // Only the lock's holder may remove the socket: nobody else listens on it now.
            unlink(socketPath.c_str());
        }
        if (lockFd >= 0) {
            close(lockFd);
        }
    }

    static gboolean OnIncoming(gint fd, GIOCondition, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        const int accepted = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (accepted < 0) {
            return G_SOURCE_CONTINUE;
        }
        if (!PeerIsSameUser(accepted)) {
            close(accepted);
            return G_SOURCE_CONTINUE;
        }
        auto* connection = new Connection{accepted, {}, 0, 0, self->handler, self->listening};
        connection->readSource =
            g_unix_fd_add(accepted, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                          OnConnectionReadable, connection);
        // A sender that never finishes its line is dropped.
        connection->timeoutSource = g_timeout_add(
            kClientTimeoutMs,
            [](gpointer data) -> gboolean {
                auto* stalled = static_cast<Connection*>(data);
                stalled->timeoutSource = 0;
                stalled->Finish();
                return G_SOURCE_REMOVE;
            },
            connection);
        return G_SOURCE_CONTINUE;
    }
};

SingleInstance::SingleInstance(std::wstring name) : m_strName(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::IsPrimary() const {
    return m_pImpl != nullptr;
}

bool SingleInstance::TryBecomePrimary(CommandHandler handler) {
    if (m_pImpl != nullptr) {
        return true;
    }
    const Paths paths = PathsFor(m_strName, true);
    auto impl = std::make_unique<Impl>();
    impl->handler = std::move(handler);
    m_bNoPrivateFolder = !paths.ok;
    if (!paths.ok) {
        g_printerr("single instance: no private runtime folder (or its path is too long)\n");
        return false;
    }
    impl->lockFd = OpenLockFile(paths.lock);
    struct flock lock = WholeFileLock();
    if (impl->lockFd < 0 || fcntl(impl->lockFd, F_OFD_SETLK, &lock) != 0) {
        return false;
    }
    // Ours now: a socket left behind by a client that was killed goes.
    impl->socketPath = paths.socket.sun_path;
    unlink(impl->socketPath.c_str());
    impl->listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (impl->listenFd < 0 ||
        bind(impl->listenFd, reinterpret_cast<const sockaddr*>(&paths.socket),
             sizeof(paths.socket)) != 0 ||
        listen(impl->listenFd, 16) != 0) {
        g_printerr("single instance: cannot listen on %s: %s\n", impl->socketPath.c_str(),
                   g_strerror(errno));
        // Still the primary: others find the lock held and no answer, and start nothing.
    } else {
        chmod(impl->socketPath.c_str(), 0600);
        impl->acceptSource = g_unix_fd_add(impl->listenFd, G_IO_IN, Impl::OnIncoming, impl.get());
    }
    m_pImpl = std::move(impl);
    return true;
}

bool SingleInstance::WaitForNoPrimary(const std::wstring& name, DWORD timeoutMs) {
    const Paths paths = PathsFor(name, false);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (paths.ok && LockIsHeld(paths.lock)) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
    return true;
}

SingleInstance::SendResult SingleInstance::SendToPrimary(const std::wstring& name,
                                                         const std::string& command,
                                                         DWORD timeoutMs) {
    const Paths paths = PathsFor(name, false);
    if (!paths.ok || !IsCommandText(command)) {
        return SendResult::NoPrimary;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string line = command + "\n";
    do {
        if (!LockIsHeld(paths.lock)) {
            return SendResult::NoPrimary;
        }
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return SendResult::NoAnswer;
        }
        // A primary that holds the lock but does not listen yet is still starting.
        if (connect(fd, reinterpret_cast<const sockaddr*>(&paths.socket), sizeof(paths.socket)) ==
                0 &&
            PeerIsSameUser(fd) &&
            send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) {
            std::string answer;
            char buffer[16];
            while (answer.find('\n') == std::string::npos) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                pollfd readable{fd, POLLIN, 0};
                if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
                    break;
                }
                const ssize_t count = recv(fd, buffer, sizeof(buffer), 0);
                if (count <= 0) {
                    break;
                }
                answer.append(buffer, static_cast<size_t>(count));
            }
            close(fd);
            if (answer == kAnswer) {
                return SendResult::Handled;
            }
        } else {
            close(fd);
        }
        std::this_thread::sleep_for(kRetryPause);
    } while (Clock::now() < deadline);
    return SendResult::NoAnswer;
}

}  // namespace platform

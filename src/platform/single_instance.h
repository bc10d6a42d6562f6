// One running client per user and desktop session. The first client to start becomes the
// primary and listens for commands; later starts, and the "exit" and "uninstall" modes, send
// their command to it and wait until it has been handled.
//
// Race-free: becoming the primary is taking a lock that the system drops when its holder
// ends, however it ends, so of two clients started at once exactly one is the primary, and a
// client that was killed leaves nothing that stops the next one. On Linux the lock and the
// socket are in $XDG_RUNTIME_DIR when it is the user's alone, else in $XDG_CACHE_HOME/<name>/
// (made 0700; refused when another user owns it or others may write to it).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/types.h"

namespace platform {

class SingleInstance {
public:
    // The handler runs on the UI thread for each command received, and the sender is
    // answered once it returns. Commands are short words ("restore", "exit").
    using CommandHandler = std::function<void(const std::string& command)>;

    // name tells clients of different programs apart (the lock and socket file names).
    explicit SingleInstance(std::wstring name);
    // Stops listening and gives the primary's place up; commands still being received are
    // not run, and their senders get no answer.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Call on the UI thread, before anything slow of the start. True when this process is now
    // the primary: it listens on the UI thread's loop from now on (commands wait until the
    // loop runs). False when another client is the primary, or when no private folder for the
    // lock can be had (NoPrivateFolder() then says so): a client never runs unguarded.
    bool TryBecomePrimary(CommandHandler handler);
    bool IsPrimary() const;
    bool NoPrivateFolder() const { return m_bNoPrivateFolder; }
    const std::wstring& Name() const { return m_strName; }

    enum class SendResult {
        Handled,    // the primary ran the command's handler
        NoPrimary,  // no client runs
        NoAnswer,   // a client runs but did not answer within the time
    };
    // Sends the command to the primary and waits until its handler has returned, at most
    // timeoutMs. Any thread; needs no message loop. A primary that is still starting (it
    // holds the lock but does not listen yet) is waited for within the same time.
    static SendResult SendToPrimary(const std::wstring& name, const std::string& command,
                                    DWORD timeoutMs);
    // Waits until no primary holds the place (its process has ended), at most timeoutMs;
    // true when none does.
    static bool WaitForNoPrimary(const std::wstring& name, DWORD timeoutMs);

private:
    struct Impl;
    std::wstring m_strName;
    std::unique_ptr<Impl> m_pImpl;
    bool m_bNoPrivateFolder = false;
};

}  // namespace platform

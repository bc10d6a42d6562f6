// Which pages a view hands window.external: the program's own local pages and the pages of
// the service. Everything else (other sites, data: and about: documents, sandboxed frames) is
// foreign and sees no members.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Whether a relative path ('/' or '\' between names) names a file inside the folder it is read
// from, however a reader folds it: no step that is ".." once Windows drops trailing dots and
// spaces, no ':' (a stream or a drive), no DOS device name (CON, NUL.txt ...), no NUL, not
// absolute, and the same for every form that decoding %XX once more or again gives. A path
// only: the caller leaves a query or fragment out.
bool IsPlainPagePath(const std::wstring& relative);

class CTrustedPages {
public:
    // File pages inside folder (a full path) are trusted.
    void AddFolder(const std::wstring& folder);
    // http and https pages of host ("name" or "name:port"; without a port, the scheme's
    // default port). False for text that is not a host.
    bool AddHost(const std::wstring& host);
    // Only https pages of the hosts are trusted: over http anyone on the network path can
    // change the page.
    void SetHttpsOnly(bool httpsOnly) { m_bHttpsOnly = httpsOnly; }

    bool IsEmpty() const { return m_folders.empty() && m_hosts.empty(); }
    // url as the browser reports it: a full path or a file: URL for local pages, an address
    // otherwise.
    bool IsTrusted(const std::wstring& url) const;

    // Whether url is an http or https address of a service host or of a host within its domain
    // (the host without its first label, where that leaves two labels or more): the cookies the
    // service's pages may reach through the client. Ports do not part cookies.
    bool IsServiceCookieUrl(const std::wstring& url) const;
    // The service hosts' names, without ports.
    std::vector<std::wstring> HostNames() const;

    // The trusted origins as a page's script spells them (scheme://host[:port], the default
    // port left out), and the trusted folders as decoded paths ending in '/'.
    std::vector<std::wstring> ScriptOrigins() const;
    const std::vector<std::wstring>& Folders() const { return m_folders; }

private:
    struct Host {
        std::wstring name;  // lower case
        int port;           // -1: the scheme's default
    };
    std::vector<std::wstring> m_folders;
    std::vector<Host> m_hosts;
    bool m_bHttpsOnly = false;
};

}  // namespace platform

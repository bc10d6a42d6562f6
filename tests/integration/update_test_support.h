// Manifests and files for update runs against the local test server.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/helpers.h"
#include "platform/text_encoding.h"
#include "support/test_http_server.h"

namespace updatetest {

struct ManifestFile {
    std::string link;
    std::string md5;  // empty: no <md5> element
    long long version = 0;
};

struct ManifestNote {
    long long version;
    std::vector<std::string> lines;
};

inline std::string Md5Of(const std::string& bytes) {
    return WideToUtf8(MD5OfBuffer(bytes.data(), bytes.size()));
}

inline std::string BuildManifest(long long version, const std::vector<ManifestNote>& notes,
                                 const std::vector<ManifestFile>& files) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<updater>\n";
    xml += "  <version>" + std::to_string(version) + "</version>\n  <des>\n";
    for (const ManifestNote& note : notes) {
        xml += "    <v><ver>" + std::to_string(note.version) + "</ver><log>";
        for (const std::string& line : note.lines) {
            xml += "<line>" + line + "</line>";
        }
        xml += "</log></v>\n";
    }
    xml += "  </des>\n  <download>\n";
    for (const ManifestFile& file : files) {
        xml += "    <file><link>" + file.link + "</link>";
        if (!file.md5.empty()) {
            xml += "<md5>" + file.md5 + "</md5>";
        }
        if (file.version != 0) {
            xml += "<ver>" + std::to_string(file.version) + "</ver>";
        }
        xml += "</file>\n";
    }
    xml += "  </download>\n</updater>\n";
    return xml;
}

// Serves body whole, but falls silent for stallMs after the first stallAfter bytes.
inline testsupport::TestHttpServer::Handler StalledFile(std::shared_ptr<const std::string> body,
                                                        size_t stallAfter, unsigned stallMs) {
    return [body, stallAfter, stallMs](const testsupport::HttpTestRequest&) {
        testsupport::HttpTestReply reply;
        reply.body = body;
        reply.stallAfter = stallAfter;
        reply.stallMs = stallMs;
        return reply;
    };
}

}  // namespace updatetest

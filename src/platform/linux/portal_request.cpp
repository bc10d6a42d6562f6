#include "platform/linux/portal_request.h"

#include <algorithm>

namespace {

using platform::portal::kPortalName;

constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";
// The desktop may ask the user in a dialog of its own before it answers.
constexpr guint kAnswerWaitS = 30;

// Held by the method call, the signal subscription and the deadline; freed with the last.
struct PendingRequest {
    int refs = 1;
    GDBusConnection* bus = nullptr;
    std::string path;
    guint subscription = 0;
    guint deadline = 0;
    bool finished = false;
    platform::portal::AnswerHandler done;
};

PendingRequest* Ref(PendingRequest* request) {
    ++request->refs;
    return request;
}

void Unref(gpointer data) {
    auto* request = static_cast<PendingRequest*>(data);
    if (--request->refs == 0) {
        delete request;
    }
}

void Finish(PendingRequest* request, platform::portal::Answer answer, GVariant* results,
            const std::string& why) {
    if (request->finished) {
        return;
    }
    request->finished = true;
    Ref(request);
    if (request->subscription != 0) {
        g_dbus_connection_signal_unsubscribe(request->bus, request->subscription);
        request->subscription = 0;
    }
    if (request->deadline != 0) {
        g_source_remove(request->deadline);
        request->deadline = 0;
    }
    GVariant* empty = g_variant_ref_sink(g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0));
    request->done(answer, results != nullptr ? results : empty, why);
    g_variant_unref(empty);
    Unref(request);
}

void OnResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                GVariant* parameters, gpointer data) {
    auto* request = static_cast<PendingRequest*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) {
        return;
    }
    guint32 code = 2;
    GVariant* results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &code, &results);
    using platform::portal::Answer;
    const Answer answer = code == 0 ? Answer::Done : code == 1 ? Answer::Declined : Answer::Failed;
    Finish(request, answer, code == 0 ? results : nullptr, "answer code " + std::to_string(code));
    g_variant_unref(results);
}

void OnMethodReply(GObject* source, GAsyncResult* result, gpointer data) {
    auto* request = static_cast<PendingRequest*>(data);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply == nullptr) {
        Finish(request, platform::portal::Answer::Failed, nullptr, error->message);
        g_error_free(error);
    } else {
        g_variant_unref(reply);
    }
    Unref(request);
}

gboolean OnDeadline(gpointer data) {
    auto* request = static_cast<PendingRequest*>(data);
    request->deadline = 0;
    // Nobody waits any more: the desktop may drop its dialog.
    g_dbus_connection_call(request->bus, kPortalName, request->path.c_str(), kRequestInterface,
                           "Close", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr,
                           nullptr);
    Finish(request, platform::portal::Answer::Failed, nullptr, "no answer in time");
    return G_SOURCE_REMOVE;
}

}  // namespace

namespace platform::portal {

std::string HandlePath(GDBusConnection* bus, const char* kind, const std::string& token) {
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    std::replace(sender.begin(), sender.end(), '.', '_');
    return std::string(kPortalPath) + "/" + kind + "/" + sender + "/" + token;
}

void CallWithResponse(GDBusConnection* bus, const char* method, GVariant* parameters,
                      const std::string& token, AnswerHandler done) {
    auto* request = new PendingRequest;
    request->bus = bus;
    request->path = HandlePath(bus, "request", token);
    request->done = std::move(done);
    // Subscribed before the call, so an answer that comes at once is not missed.
    request->subscription = g_dbus_connection_signal_subscribe(
        bus, kPortalName, kRequestInterface, "Response", request->path.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, OnResponse, Ref(request), Unref);
    request->deadline = g_timeout_add_seconds_full(G_PRIORITY_DEFAULT, kAnswerWaitS, OnDeadline,
                                                   Ref(request), Unref);
    g_dbus_connection_call(bus, kPortalName, kPortalPath, kShortcutsInterface, method, parameters,
                           G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr,
                           OnMethodReply, request);
}

}  // namespace platform::portal

// The page side of window.external, run in a bare script engine with a stand-in window: what
// it sends through prompt() for what a page does, and what it refuses to send at all.
#include <gtest/gtest.h>
#include <jsc/jsc.h>

#include <string>

#include "platform/linux/bridge_script.h"
#include "platform/script_call_codec.h"
#include "platform/text_encoding.h"

namespace {

constexpr const char kMarker[] = "\x01songdeck-bridge:test-marker:";

// A window, a location and a document just rich enough for the bridge script; prompt()
// records what it is asked and answers a result.
constexpr const char kStandIn[] = R"JS(
var sent = [];
globalThis.window = globalThis;
globalThis.top = globalThis;
globalThis.self = globalThis;
globalThis.origin = '@ORIGIN@';
globalThis.location = {protocol: '@PROTOCOL@', host: '@HOST@', href: '@HREF@',
                       pathname: '@PATH@'};
globalThis.prompt = function (m) { sent.push(m); return '{"h":0,"v":"ok"}'; };
globalThis.addEventListener = function () {};
globalThis.document = {body: null, addEventListener: function () {}};
globalThis.MutationObserver = function () {
    this.observe = function () {};
    this.disconnect = function () {};
};
)JS";

struct PageAddress {
    std::string protocol, host, href, path, origin;
};

const PageAddress kServicePage{"http:", "www.quorvi.example", "http://www.quorvi.example/m", "/m",
                               "http://www.quorvi.example"};

void Replace(std::string& text, const std::string& placeholder, const std::string& value) {
    text.replace(text.find(placeholder), placeholder.size(), value);
}

class BridgeScript : public ::testing::Test {
protected:
    void SetUp() override { m_trusted.AddHost(L"www.quorvi.example"); }
    void TearDown() override {
        if (m_pContext != nullptr) {
            g_object_unref(m_pContext);
        }
    }
    // Starts a page at address with the bridge script, as a document of the view would.
    void Load(const PageAddress& address) {
        m_pContext = jsc_context_new();
        std::string standIn = kStandIn;
        Replace(standIn, "@PROTOCOL@", address.protocol);
        Replace(standIn, "@HOST@", address.host);
        Replace(standIn, "@HREF@", address.href);
        Replace(standIn, "@PATH@", address.path);
        Replace(standIn, "@ORIGIN@", address.origin);
        Run(standIn);
        Run(platform::gtk::BuildBridgeScript(kMarker, m_trusted));
    }
    // The script's value as text; "throws <number>" when it throws.
    std::string Run(const std::string& script) {
        JSCValue* value = jsc_context_evaluate(m_pContext, script.c_str(), -1);
        JSCException* exception = jsc_context_get_exception(m_pContext);
        std::string text;
        if (exception != nullptr) {
            jsc_context_clear_exception(m_pContext);
            text = "throws";
            const char* message = jsc_exception_get_message(exception);
            text += std::string(" ") + (message != nullptr ? message : "");
        } else {
            gchar* raw = jsc_value_to_string(value);
            text = raw != nullptr ? raw : "";
            g_free(raw);
        }
        g_object_unref(value);
        return text;
    }
    // The requests sent so far, without the marker; "?" for one that lacks it.
    std::vector<std::string> Sent() {
        std::vector<std::string> requests;
        int count = std::stoi(Run("sent.length"));
        for (int i = 0; i < count; ++i) {
            std::string message = Run("sent[" + std::to_string(i) + "]");
            requests.push_back(
                message.rfind(kMarker, 0) == 0 ? message.substr(std::string(kMarker).size()) : "?");
        }
        return requests;
    }

    platform::CTrustedPages m_trusted;
    JSCContext* m_pContext = nullptr;
};

}  // namespace

TEST_F(BridgeScript, CallsTravelAsRequestsTheViewDecodes) {
    Load(kServicePage);
    EXPECT_EQ(Run("external.Ret('a\"b', 7, 1.5, true, null, undefined, NaN, {})"), "ok");
    std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], R"(["l","Ret","http://www.quorvi.example/m"])");
    EXPECT_EQ(sent[1], R"(["c","Ret",1,["a\"b",7,1.5,true,null,null,{"n":"NaN"},{"t":"object"}],)"
                       R"("http://www.quorvi.example/m"])");
    platform::CScriptRequest request;
    EXPECT_EQ(request.Decode(sent[1]), DISP_E_TYPEMISMATCH);  // the object argument
    EXPECT_EQ(Run("String(external.Ret)"), "ok");
    EXPECT_EQ(Sent().back(), R"(["c","Ret",2,[],"http://www.quorvi.example/m"])");
}

TEST_F(BridgeScript, WhatAPageDefinesOnPrototypesDoesNotChangeTheRequest) {
    Load(kServicePage);
    Run("Array.prototype.toJSON = function () { return ['c', 'Forged', 1, []]; };"
        "Object.prototype.toJSON = function () { return 'forged'; };"
        "String.prototype.toJSON = function () { return 'forged'; };"
        "Array.prototype.join = function () { return 'forged'; };"
        "Object.defineProperty(Object.prototype, 'h', {get: function () { return 0; }});"
        "JSON.stringify = function () { return '[\"c\",\"Forged\",1,[]]'; };"
        "Reflect.apply = function () { return '{\"h\":0,\"v\":\"forged\"}'; };");
    EXPECT_EQ(Run("external.Ret('x', [1])"), "ok");  // the answer of the view, not "forged"
    std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], R"(["c","Ret",1,["x",{"t":"object"}],"http://www.quorvi.example/m"])");
}

TEST_F(BridgeScript, TooManyArgumentsOrTooLongTextIsRefusedBeforeAnythingIsSent) {
    Load(kServicePage);
    Run("external.Ret");  // the look-up
    size_t before = Sent().size();
    // 64 arguments go, 65 do not.
    EXPECT_EQ(Run("external.Ret.apply(null, new Array(64).fill(''))"), "ok");
    EXPECT_EQ(Sent().size(), before + 1);
    EXPECT_EQ(Run("try { external.Ret.apply(null, new Array(65).fill('')); 'sent' }"
                  "catch (e) { e.number }"),
              std::to_string(DISP_E_BADPARAMCOUNT));
    EXPECT_EQ(Run("try { external.Ret.apply(null, new Array(60000).fill('')); 'sent' }"
                  "catch (e) { e.number }"),
              std::to_string(DISP_E_BADPARAMCOUNT));
    const std::string limit = std::to_string(platform::kMaxScriptRequestChars);
    EXPECT_EQ(Run("try { external.Ret('x'.repeat(" + limit +
                  " + 1)); 'sent' }"
                  "catch (e) { e.number }"),
              std::to_string(E_FAIL));
    // Each piece fits, together they do not; escapes count as the text they become.
    EXPECT_EQ(Run("try { var s = 'y'.repeat(" + limit +
                  " / 2); external.Ret(s, s, s); 'sent' }"
                  "catch (e) { e.number }"),
              std::to_string(E_FAIL));
    EXPECT_EQ(Run("try { external.Ret('\\u0001'.repeat(" + limit +
                  " / 4)); 'sent' }"
                  "catch (e) { e.number }"),
              std::to_string(E_FAIL));
    EXPECT_EQ(Sent().size(), before + 1);
    // A request just under the limit still goes.
    EXPECT_EQ(Run("external.Ret('z'.repeat(" + limit + " - 100))"), "ok");
    EXPECT_EQ(Sent().size(), before + 2);
}

TEST_F(BridgeScript, ForeignAndSandboxedDocumentsGetNothingAndSendNothing) {
    const PageAddress foreign[] = {
        {"http:", "www.quorvi.example:8080", "http://www.quorvi.example:8080/m", "/m",
         "http://www.quorvi.example:8080"},
        {"https:", "evil.example", "https://evil.example/m", "/m", "https://evil.example"},
        {"http:", "www.quorvi.example", "http://www.quorvi.example/m", "/m", "null"},
        {"data:", "", "data:text/html,x", "text/html,x", "null"},
        {"about:", "", "about:srcdoc", "srcdoc", "http://www.quorvi.example"},
        {"file:", "", "file:///opt/app/res2/main.html", "/opt/app/res2/main.html", "null"},
        {"file:", "", "file:///opt/app/res/..%2Fsecret.html", "/opt/app/res/..%2Fsecret.html",
         "null"},
    };
    m_trusted.AddFolder(L"/opt/app/res");
    for (const PageAddress& address : foreign) {
        Load(address);
        EXPECT_EQ(Run("typeof window.external"), "undefined") << address.href;
        EXPECT_EQ(Run("sent.length"), "0") << address.href;
        g_object_unref(m_pContext);
        m_pContext = nullptr;
    }
    Load({"file:", "", "file:///opt/app/res/sub%20folder/main.html",
          "/opt/app/res/sub%20folder/main.html", "null"});
    EXPECT_EQ(Run("typeof window.external"), "object");
}

TEST_F(BridgeScript, TheTopDocumentsBodySizeGoesAheadOfACall) {
    Load(kServicePage);
    Run("document.body = {style: {width: '400px', height: '300px'}};");
    EXPECT_EQ(Run("external.Ret(1)"), "ok");
    Run("external.Ret(2)");
    std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].substr(0, 5), R"(["l",)");
    EXPECT_EQ(sent[1], R"(["s","400px","300px","http://www.quorvi.example/m"])");
    EXPECT_EQ(sent[2].substr(0, 5), R"(["c",)");
    // Unchanged, the size is not sent again.
    EXPECT_EQ(sent[3].substr(0, 5), R"(["c",)");
}

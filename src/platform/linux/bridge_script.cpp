#include "platform/linux/bridge_script.h"

#include <glib.h>

#include "platform/script_call_codec.h"
#include "platform/text_encoding.h"

namespace platform::gtk {
namespace {

// Everything the script relies on is taken before any page script runs, so a page that
// replaces prompt, JSON, Error or Object's functions later does not change how the bridge
// works. Requests are put together from primitive pieces only: nothing a page can define on a
// prototype (toJSON, a getter, an iterator) takes part. External members are looked up once
// per document: the window's commands never change after its first navigation.
//
// Foreign documents (another origin, a sandboxed frame, data:, about:, srcdoc) leave at once:
// they never see the marker, window.external keeps the browser's own empty object, and they
// report neither their size nor their load.
constexpr const char kScript[] = R"JS((function () {
'use strict';
const trustedOrigins = @ORIGINS@;
const trustedFolders = @FOLDERS@;

function isTrusted() {
    const protocol = location.protocol;
    if (protocol === 'http:' || protocol === 'https:') {
        // A sandboxed frame has an opaque origin whatever its address.
        if (self.origin === 'null') {
            return false;
        }
        const origin = protocol + '//' + location.host;
        for (let i = 0; i < trustedOrigins.length; i++) {
            if (trustedOrigins[i] === origin) {
                return true;
            }
        }
        return false;
    }
    if (protocol !== 'file:' || location.host !== '') {
        return false;
    }
    const raw = location.pathname;
    if (/%(2f|5c|00)/i.test(raw)) {
        return false;
    }
    let path;
    try {
        path = decodeURIComponent(raw);
    } catch (e) {
        return false;
    }
    if (path.indexOf('/../') >= 0 || path.indexOf('/./') >= 0) {
        return false;
    }
    for (let i = 0; i < trustedFolders.length; i++) {
        const folder = trustedFolders[i];
        if (path.length > folder.length && path.substring(0, folder.length) === folder) {
            return true;
        }
    }
    return false;
}
if (!isTrusted()) {
    return;
}

const marker = '@MARKER@';
const maxChars = @MAX_CHARS@;
const maxArguments = @MAX_ARGUMENTS@;
const prompt = window.prompt;
const apply = Reflect.apply;
const stringify = JSON.stringify;
const parse = JSON.parse;
const defineProperty = Object.defineProperty;
const createObject = Object.create;
const toText = String;
const toNumber = Number;
const finite = Number.isFinite;
const hexText = Number.prototype.toString;
const ErrorType = Error;
const ProxyType = Proxy;
const toPrimitive = Symbol.toPrimitive;
const isTop = window === window.top;
const E_FAIL = -2147467259;
const UNKNOWN_NAME = -2147352570;
const BAD_PARAM_COUNT = -2147352562;

// The address of this frame's document, sent with every request.
function here() {
    return stringify(toText(location.href));
}

function send(text) {
    let answer = null;
    try {
        answer = apply(prompt, window, [marker + text]);
    } catch (e) {
    }
    let reply = null;
    if (typeof answer === 'string') {
        try {
            reply = parse(answer);
        } catch (e) {
        }
    }
    if (reply === null || typeof reply !== 'object' || typeof reply.h !== 'number') {
        reply = {h: E_FAIL};
    }
    return reply;
}

// One argument as request text; null when it alone is too long to send.
function encode(value) {
    switch (typeof value) {
    case 'string':
        return value.length > maxChars ? null : stringify(value);
    case 'boolean':
        return value ? 'true' : 'false';
    case 'number':
        return finite(value) ? stringify(value) : '{"n":' + stringify(toText(value)) + '}';
    case 'undefined':
        return 'null';
    default:
        return value === null ? 'null' : '{"t":' + stringify(typeof value) + '}';
    }
}

function decode(value) {
    return value !== null && typeof value === 'object' ? toNumber(value.n) : value;
}

function failure(name, hr) {
    const hex = '0000000' + apply(hexText, hr >>> 0, [16]).toUpperCase();
    const error = new ErrorType('window.external.' + name + ' failed: 0x' + hex.slice(-8));
    error.number = hr;
    error.hresult = hr;
    return error;
}

// The request text of a call, or the error that stops it before it is sent.
function callRequest(name, flags, args) {
    const count = args.length;
    if (count > maxArguments) {
        return BAD_PARAM_COUNT;
    }
    let text = '["c",' + stringify(name) + ',' + flags + ',[';
    for (let i = 0; i < count; i++) {
        const piece = encode(args[i]);
        if (piece === null || text.length + piece.length > maxChars) {
            return E_FAIL;
        }
        text += (i === 0 ? '' : ',') + piece;
    }
    text += '],' + here() + ']';
    return text.length > maxChars ? E_FAIL : text;
}

function invoke(name, flags, args) {
    // A style change made just before the call is known to the command that asks for it.
    reportSize();
    const request = callRequest(name, flags, args);
    if (typeof request === 'number') {
        throw failure(name, request);
    }
    const reply = send(request);
    if (reply.h < 0) {
        throw failure(name, reply.h);
    }
    return decode(reply.v);
}

function member(name) {
    const read = function () {
        return invoke(name, 2, []);
    };
    const call = function () {
        return invoke(name, 1, arguments);
    };
    defineProperty(call, toPrimitive, {value: read});
    defineProperty(call, 'valueOf', {value: read});
    defineProperty(call, 'toString', {value: function () { return toText(read()); }});
    return call;
}

const members = createObject(null);
function lookUp(name) {
    if (typeof name !== 'string' || name.length > maxChars) {
        return undefined;
    }
    let found = members[name];
    if (found === undefined) {
        const reply = send('["l",' + stringify(name) + ',' + here() + ']');
        if (reply.h >= 0) {
            found = member(name);
        } else if (reply.h === UNKNOWN_NAME) {
            found = null;
        } else {
            return undefined;
        }
        members[name] = found;
    }
    return found === null ? undefined : found;
}

const external = new ProxyType(createObject(null), {
    get: function (target, name) { return lookUp(name); },
    has: function (target, name) { return lookUp(name) !== undefined; },
    set: function () { return true; },
    deleteProperty: function () { return true; },
    defineProperty: function () { return true; },
});

let leaving = false;
window.addEventListener('pagehide', function () { leaving = true; });

// The size the top document's body asks for with its inline style, handed over whenever it
// changes, so the view knows it before the document is reported as loaded.
let lastSize = null;
function reportSize() {
    if (!isTop || leaving) {
        return;
    }
    const body = document.body;
    const width = body ? toText(body.style.width) : '';
    const height = body ? toText(body.style.height) : '';
    const size = body ? width + '\n' + height : null;
    if (size === null || size === lastSize) {
        return;
    }
    lastSize = size;
    send('["s",' + stringify(width) + ',' + stringify(height) + ',' + here() + ']');
}

if (isTop) {
    let watched = null;
    const observer = new MutationObserver(function () {
        watchBody();
        reportSize();
    });
    // Until the body exists the document's nodes are watched; then only the body's style.
    const watchBody = function () {
        const body = document.body;
        if (body !== null && body === watched) {
            return;
        }
        observer.disconnect();
        watched = body;
        if (body) {
            observer.observe(body, {attributes: true, attributeFilter: ['style']});
        } else {
            observer.observe(document, {childList: true, subtree: true});
        }
    };
    watchBody();
    document.addEventListener('DOMContentLoaded', function () { watchBody(); reportSize(); });
    window.addEventListener('load', function () { watchBody(); reportSize(); });
} else {
    // A frame's loaded document is reported as the top document's is by the view.
    window.addEventListener('load', function () {
        if (!leaving) {
            send('["d",' + here() + ']');
        }
    });
}

try {
    defineProperty(window, 'external',
                   {value: external, enumerable: true, configurable: false, writable: false});
} catch (e) {
    window.external = external;
}
})();
)JS";

void Replace(std::string& text, const std::string& placeholder, const std::string& value) {
    text.replace(text.find(placeholder), placeholder.size(), value);
}

// A list of texts as a script array literal; every character outside printable ASCII is
// escaped, so no text can end the literal.
std::string ScriptArray(const std::vector<std::wstring>& texts) {
    std::string out = "[";
    for (const std::wstring& text : texts) {
        if (out.size() > 1) {
            out += ",";
        }
        out += "'";
        for (wchar_t ch : text) {
            uint32_t unit = static_cast<uint32_t>(ch);
            if (unit >= 0x20 && unit < 0x7F && ch != L'\'' && ch != L'\\') {
                out += static_cast<char>(unit);
                continue;
            }
            char escaped[16];
            if (unit > 0xFFFF) {
                unit -= 0x10000;
                g_snprintf(escaped, sizeof escaped, "\\u%04x\\u%04x", 0xD800 + (unit >> 10),
                           0xDC00 + (unit & 0x3FF));
            } else {
                g_snprintf(escaped, sizeof escaped, "\\u%04x", unit);
            }
            out += escaped;
        }
        out += "'";
    }
    return out + "]";
}

}  // namespace

std::string MakeBridgeMarker() {
    gchar* uuid = g_uuid_string_random();
    std::string text = std::string("\x01songdeck-bridge:") + uuid + ":";
    g_free(uuid);
    return text;
}

std::string BuildBridgeScript(const std::string& marker, const CTrustedPages& trusted) {
    std::string script = kScript;
    Replace(script, "@ORIGINS@", ScriptArray(trusted.ScriptOrigins()));
    Replace(script, "@FOLDERS@", ScriptArray(trusted.Folders()));
    // The marker is made of letters, digits, '-', ':' and \x01, all safe in a quoted string.
    std::string quoted;
    for (char c : marker) {
        if (c == '\x01') {
            quoted += "\\x01";
        } else {
            quoted += c;
        }
    }
    Replace(script, "@MARKER@", quoted);
    Replace(script, "@MAX_CHARS@", std::to_string(kMaxScriptRequestChars));
    Replace(script, "@MAX_ARGUMENTS@", std::to_string(kMaxScriptArguments));
    return script;
}

}  // namespace platform::gtk

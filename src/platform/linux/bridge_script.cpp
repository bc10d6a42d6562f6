#include "platform/linux/bridge_script.h"

#include <glib.h>

namespace platform::gtk {
namespace {

// Everything the script relies on is taken before any page script runs, so a page that
// replaces prompt, JSON or Object's functions later does not change how the bridge works.
// External members are looked up once per document: the window's commands never change
// after its first navigation.
constexpr const char kScript[] = R"JS((function () {
'use strict';
const marker = '@MARKER@';
const prompt = window.prompt;
const apply = Reflect.apply;
const stringify = JSON.stringify;
const parse = JSON.parse;
const defineProperty = Object.defineProperty;
const toText = String;
const toNumber = Number;
const finite = Number.isFinite;
const toPrimitive = Symbol.toPrimitive;
const E_FAIL = -2147467259;
const UNKNOWN_NAME = -2147352570;

function send(request) {
    let answer = null;
    try {
        answer = apply(prompt, window, [marker + stringify(request)]);
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

function encode(value) {
    switch (typeof value) {
    case 'string':
    case 'boolean':
        return value;
    case 'number':
        return finite(value) ? value : {n: toText(value)};
    case 'undefined':
        return null;
    default:
        return value === null ? null : {t: typeof value};
    }
}

function decode(value) {
    return value !== null && typeof value === 'object' ? toNumber(value.n) : value;
}

function failure(name, hr) {
    const hex = '0000000' + (hr >>> 0).toString(16).toUpperCase();
    const error = new Error('window.external.' + name + ' failed: 0x' + hex.slice(-8));
    error.number = hr;
    error.hresult = hr;
    return error;
}

function invoke(name, flags, args) {
    const list = [];
    for (let i = 0; i < args.length; i++) {
        list[i] = encode(args[i]);
    }
    const reply = send(['c', name, flags, list]);
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

const members = Object.create(null);
function lookUp(name) {
    if (typeof name !== 'string') {
        return undefined;
    }
    let found = members[name];
    if (found === undefined) {
        const reply = send(['l', name]);
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

const external = new Proxy(Object.create(null), {
    get: function (target, name) { return lookUp(name); },
    has: function (target, name) { return lookUp(name) !== undefined; },
    set: function () { return true; },
    deleteProperty: function () { return true; },
    defineProperty: function () { return true; },
});
// A frame's loaded document is reported as the top document's is by the view.
if (window !== window.top) {
    window.addEventListener('load', function () { send(['d', location.href]); });
}

try {
    defineProperty(window, 'external',
                   {value: external, enumerable: true, configurable: false, writable: false});
} catch (e) {
    window.external = external;
}
})();
)JS";

}  // namespace

const std::string& GetBridgeMarker() {
    static const std::string marker = [] {
        gchar* uuid = g_uuid_string_random();
        std::string text = std::string("\x01songdeck-bridge:") + uuid + ":";
        g_free(uuid);
        return text;
    }();
    return marker;
}

std::string BuildBridgeScript(const std::string& marker) {
    std::string script = kScript;
    const std::string placeholder = "@MARKER@";
    // The marker is made of letters, digits, '-', ':' and \x01, all safe in a quoted string.
    std::string quoted;
    for (char c : marker) {
        if (c == '\x01') {
            quoted += "\\x01";
        } else {
            quoted += c;
        }
    }
    script.replace(script.find(placeholder), placeholder.size(), quoted);
    return script;
}

}  // namespace platform::gtk

// What the client's own pages share: calling window.external safely, so that a page opened
// outside the client (or a command its window does not offer) never breaks the page.
var SongDeck = (function () {
    function external() {
        return window.external;
    }
    var names = {
        8: "Backspace", 9: "Tab", 13: "Enter", 19: "Pause", 20: "CapsLock", 27: "Esc",
        32: "Space", 33: "PageUp", 34: "PageDown", 35: "End", 36: "Home", 37: "←", 38: "↑",
        39: "→", 40: "↓", 44: "PrintScreen", 45: "Insert", 46: "Delete", 106: "Num *",
        107: "Num +", 109: "Num -", 110: "Num .", 111: "Num /", 144: "NumLock",
        145: "ScrollLock", 186: ";", 187: "=", 188: ",", 189: "-", 190: ".", 191: "/",
        192: "`", 219: "[", 220: "\\", 221: "]", 222: "'"
    };
    function keyName(vk) {
        if ((vk >= 48 && vk <= 57) || (vk >= 65 && vk <= 90)) return String.fromCharCode(vk);
        if (vk >= 96 && vk <= 105) return "Num " + (vk - 96);
        if (vk >= 112 && vk <= 135) return "F" + (vk - 111);
        return names[vk] || ("键 " + vk);
    }
    return {
        keyName: keyName,
        // True inside the client (the property read of "IsTavnelClient").
        inClient: function () {
            try {
                return external() != null && external().IsTavnelClient == true;
            } catch (e) {
                return false;
            }
        },
        // Calls a command; fallback when it is missing or fails. The member is called where it
        // is named: the Windows engine cannot read a command of window.external as a function
        // value (no typeof, no apply), and it counts the arguments it is given.
        call: function (name, args, fallback) {
            var a = args || [];
            try {
                var ext = external();
                var value;
                if (ext == null) {
                    return fallback;
                } else if (a.length === 0) {
                    value = ext[name]();
                } else if (a.length === 1) {
                    value = ext[name](a[0]);
                } else if (a.length === 2) {
                    value = ext[name](a[0], a[1]);
                } else if (a.length === 3) {
                    value = ext[name](a[0], a[1], a[2]);
                } else if (a.length === 4) {
                    value = ext[name](a[0], a[1], a[2], a[3]);
                } else {
                    return fallback;
                }
                return value === undefined ? fallback : value;
            } catch (e) {
                return fallback;
            }
        },
        // "Ctrl + Alt + S" for a Windows virtual-key code and the modifier flags 1 Shift, 2 Ctrl,
        // 4 Alt; "" for no hotkey.
        hotkeyText: function (vk, modifiers) {
            if (!vk) {
                return "";
            }
            var parts = [];
            if (modifiers & 2) parts.push("Ctrl");
            if (modifiers & 4) parts.push("Alt");
            if (modifiers & 1) parts.push("Shift");
            parts.push(keyName(vk));
            return parts.join(" + ");
        },
        // "1.0.0.1", or "" outside the client.
        version: function () {
            return String(this.call("GetAppVersion", [0], ""));
        }
    };
})();

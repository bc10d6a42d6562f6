#!/usr/bin/env bash
# The ES5 check of the local pages catches what it is there for: a later-ES construct in an
# inline script (named at its line in the page) or in a script file, a page without the engine
# mode first in its head, a handler attribute; and it leaves alone what no engine runs as
# script, so a clean folder passes.
#   tests/pages/check_es5_test.sh
set -euo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-es5"
scratch=$(mktemp -d /tmp/songdeck-es5.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "check_es5_test: $*" >&2
    exit 1
}

# page FOLDER NAME HEAD BODY: a page whose head starts with HEAD.
page() {
    mkdir -p "$1"
    printf '<!DOCTYPE html>\n<html>\n<head>\n%s\n<title>t</title>\n</head>\n<body>\n%s\n</body>\n</html>\n' \
        "$3" "$4" >"$1/$2"
}
mode='<meta http-equiv="X-UA-Compatible" content="IE=edge">'
# expect_failure FOLDER TEXT: the check fails on FOLDER and says TEXT.
expect_failure() {
    local output
    if output=$("$check" "$1" 2>&1); then
        fail "$1 passed: $output"
    fi
    grep -qF -- "$2" <<<"$output" || fail "$1: expected \"$2\" in: $output"
}

clean="$scratch/clean"
page "$clean" index.html "$mode" '<script src="lib.js">let ignored;</script>
<script type="text/template"><p>${name}</p></script>
<script>
    var list = [1, 2].map(function (x) { return x * 2; });
</script>
<script type="text/javascript">var ok = JSON.stringify({a: 1});</script>'
echo 'var lib = { get: function () { return 1; } };' >"$clean/lib.js"
"$check" "$clean" || fail "a clean folder did not pass"

# An arrow function in the second inline script: named with the page's line (10), not the
# script's own.
page "$scratch/arrow" index.html "$mode" '<script>var a = 1;</script>
<script>
    var b = [1].map((x) => x);
</script>'
expect_failure "$scratch/arrow" "index.html, inline script 2: Unexpected token (10:"

page "$scratch/let" index.html "$mode" '<script>let x = 1;</script>'
expect_failure "$scratch/let" "inline script 1: Unexpected token (8:"

# An empty type or a legacy script type still runs as script.
page "$scratch/typed" index.html "$mode" '<script type="">var a = 1;</script>
<script type="text/jscript">let x = 1;</script>'
expect_failure "$scratch/typed" "inline script 2: Unexpected token (9:"
page "$scratch/untyped" index.html "$mode" '<script type="">let x = 1;</script>'
expect_failure "$scratch/untyped" "inline script 1: Unexpected token (8:"

page "$scratch/file" index.html "$mode" ''
printf 'var a = 1;\nvar b = `text`;\n' >"$scratch/file/deep.js"
expect_failure "$scratch/file" "file/deep.js: Unexpected character '\`' (2:"

# The mode stands first in the head, before the charset too.
page "$scratch/late" index.html '<meta charset="utf-8">
<meta http-equiv="X-UA-Compatible" content="IE=edge">' ''
expect_failure "$scratch/late" "index.html: the first element of its head is not"

page "$scratch/handler" index.html "$mode" '<button onclick="go()">Go</button>'
expect_failure "$scratch/handler" "index.html:8: an event handler attribute"

echo "check_es5_test: all cases behaved"

#!/usr/bin/env bash
# The layering check itself: it passes a tree that keeps its table, and names
# file, line and edge for each kind of step out of it: an include, a .ui
# header and a linked library going up, a table with a cycle, a file outside
# every folder, and a README that no longer shows the table. Last, one new
# include going up in a copy of the real tree.
#   test-check-layers.sh CHECK ROOT
set -uo pipefail
CHECK=$1 ROOT=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect NAME STATUS NEEDLE... -- TREE: runs the check on TREE (table
# TREE/layers.txt, README TREE/README.md); the status and every needle in
# its output must match.
expect() {
    local name=$1 want=$2 out rc needle
    shift 2
    local needles=()
    while [[ $1 != -- ]]; do
        needles+=("$1")
        shift
    done
    local tree=$2
    out=$(bash "$CHECK" "$tree" "$tree/layers.txt" "$tree/README.md" 2>&1)
    rc=$?
    [[ $rc -eq $want ]] || fail "$name: status $rc, not $want: $out"
    for needle in "${needles[@]}"; do
        [[ $out == *"$needle"* ]] || fail "$name: no '$needle' in: $out"
    done
}

# A small tree: lib <- app, and a GUI part beside them.
fixture() {
    local t=$work/$1
    rm -rf "$t"
    mkdir -p "$t/src/lib/sys" "$t/src/app" "$t/src/app/gui" "$t/tools/cmd"
    cat >"$t/layers.txt" <<'EOF'
# folder      may use
src/lib       -
src/app       src/lib
src/app/gui   src/app
tools/cmd     src/lib
EOF
    {
        echo "# Demo"
        echo "Layers (layers.txt):"
        echo '```'
        grep -v '^#' "$t/layers.txt"
        echo '```'
    } >"$t/README.md"
    printf '#pragma once\n' >"$t/src/lib/Lib.h"
    printf '#include "lib/Lib.h"\n#include "lib/sys/Sys.h"\n' >"$t/src/lib/Lib.cpp"
    printf '#pragma once\n' >"$t/src/lib/sys/Sys.h"
    printf '#include "app/App.h"\n#include "ui_Form.h"\n#include <vector>\n' >"$t/src/app/App.cpp"
    printf '#pragma once\n#include "lib/Lib.h"\n' >"$t/src/app/App.h"
    printf '<ui>\n <customwidgets>\n  <customwidget>\n   <header>app/App.h</header>\n  </customwidget>\n </customwidgets>\n</ui>\n' >"$t/src/app/gui/Form.ui"
    printf '#include "Cmd.h"\n#include "lib/Lib.h"\n' >"$t/tools/cmd/main.cpp"
    printf '#pragma once\n' >"$t/tools/cmd/Cmd.h"
    printf 'add_subdirectory(lib)\nadd_subdirectory(app)\n' >"$t/src/CMakeLists.txt"
    printf 'add_library(demo_lib STATIC Lib.cpp)\n' >"$t/src/lib/CMakeLists.txt"
    printf 'add_library(demo_app STATIC App.cpp)\ntarget_link_libraries(demo_app\n  PUBLIC demo_lib Threads::Threads)\n' >"$t/src/app/CMakeLists.txt"
    printf 'add_executable(demo-cmd main.cpp)\ntarget_link_libraries(demo-cmd PRIVATE demo_lib)\n' >"$t/tools/cmd/CMakeLists.txt"
    echo "$t"
}

t=$(fixture good)
expect "a tree that keeps its layers" 0 "keep the layers" -- "$t"

t=$(fixture include)
printf '#include "lib/Lib.h"\n\n#include "app/App.h"\n' >"$t/src/lib/Lib.cpp"
expect "an include going up" 1 'src/lib/Lib.cpp:3: includes "app/App.h": src/lib -> src/app' -- "$t"

t=$(fixture relative)
printf '#include "../app/App.h"\n' >"$t/src/lib/Lib.cpp"
expect "an include going up by a relative path" 1 'src/lib/Lib.cpp:1: includes "../app/App.h": src/lib -> src/app' -- "$t"

t=$(fixture tool)
printf '#include "app/App.h"\n' >"$t/tools/cmd/main.cpp"
expect "a tool using a layer it may not" 1 'tools/cmd/main.cpp:1: includes "app/App.h": tools/cmd -> src/app' -- "$t"

t=$(fixture ui)
mkdir -p "$t/src/lib/form"
cp "$t/src/app/gui/Form.ui" "$t/src/lib/form/Form.ui"
expect "a .ui header going up" 1 'src/lib/form/Form.ui:4: names the header "app/App.h": src/lib -> src/app' -- "$t"

t=$(fixture link)
printf 'add_library(demo_lib STATIC Lib.cpp)\ntarget_link_libraries(demo_lib PUBLIC\n  Threads::Threads\n  demo_app)\n' >"$t/src/lib/CMakeLists.txt"
expect "a library linking up" 1 "src/lib/CMakeLists.txt:2: demo_lib links demo_app: src/lib -> src/app" -- "$t"

t=$(fixture aggregate)
printf 'add_library(demo_lib STATIC Lib.cpp)\ntarget_link_libraries(demo_lib PUBLIC quorvet_core)\n' >"$t/src/lib/CMakeLists.txt"
expect "a layer linking an aggregate" 1 "src/lib/CMakeLists.txt:2: demo_lib links the aggregate quorvet_core" -- "$t"

t=$(fixture cycle)
sed -i 's#^src/lib .*#src/lib       src/app/gui#' "$t/layers.txt"
expect "a table with a cycle" 1 "src/lib uses itself through a cycle" -- "$t"

t=$(fixture unknown)
sed -i 's#^tools/cmd .*#tools/cmd     src/nowhere#' "$t/layers.txt"
expect "a table naming an unknown folder" 1 "tools/cmd uses src/nowhere, which is not in the table" -- "$t"

t=$(fixture stray)
printf 'int x;\n' >"$t/src/Stray.cpp"
expect "a file outside every folder" 1 "src/Stray.cpp: in no folder of layers.txt" -- "$t"

t=$(fixture readme)
echo "src/extra     src/lib" >>"$t/layers.txt"
mkdir -p "$t/src/extra"
expect "a README behind its table" 1 "README.md does not show layers.txt as it is" -- "$t"

# The real tree, with one new include from the platform layer up to utils.
copy=$work/real
mkdir -p "$copy"
cp -r "$ROOT/src" "$ROOT/tools" "$copy/"
cp "$ROOT/tests/layering/layers.txt" "$copy/layers.txt"
cp "$ROOT/README.md" "$copy/README.md"
expect "the real tree" 0 "keep the layers" -- "$copy"
line=$(($(wc -l <"$copy/src/platform/Socket.cpp") + 1))
echo '#include "utils/uUtilsConvert.h"' >>"$copy/src/platform/Socket.cpp"
expect "the real tree with a new edge up" 1 \
    "src/platform/Socket.cpp:$line: includes \"utils/uUtilsConvert.h\": src/platform -> src/utils" -- "$copy"

((failures == 0)) && echo "the layering check passed its checks"
exit $((failures > 0))

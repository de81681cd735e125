#!/usr/bin/env bash
# Checks that src/ and tools/ keep their layers: every #include "..." line,
# every header a .ui file names and every library a folder's CMakeLists.txt
# links must follow an edge of the layer table (or stay in its folder).
#
#   check-layers.sh ROOT TABLE [README]
#
# TABLE: lines "FOLDER  USES..." ("-" for none), '#' comments; a folder may
# use what it lists and, through them, what those may use. A file belongs to
# the deepest folder of the table above it. README, when given, must show the
# table's lines in the fenced block after the line naming the table file.
# Prints every violation as FILE:LINE and exits 1 when there is any.
set -uo pipefail

(($# == 2 || $# == 3)) || {
    echo "usage: check-layers.sh ROOT TABLE [README]" >&2
    exit 2
}
ROOT=$(cd "$1" && pwd) || exit 2
TABLE=$(realpath -m "$2")
README=${3:+$(realpath -m "$3")}
TABLE_NAME=$(basename "$TABLE")
[[ -r $TABLE ]] || {
    echo "layering: cannot read $TABLE" >&2
    exit 2
}

errors=0
fail() {
    echo "layering: $*" >&2
    errors=$((errors + 1))
}

# --- the table ---------------------------------------------------------------
declare -A IS_NODE=() USES=() ALLOWED=()
NODES=()
TABLE_LINES=() # the lines without comments, as the README must show them
lineno=0
while IFS= read -r raw || [[ -n $raw ]]; do
    lineno=$((lineno + 1))
    line=${raw%%#*}
    read -r -a words <<<"$line"
    ((${#words[@]})) || continue
    TABLE_LINES+=("$(sed 's/[[:space:]]*$//' <<<"$raw")")
    node=${words[0]%/}
    if [[ -n ${IS_NODE[$node]:-} ]]; then
        fail "$TABLE_NAME:$lineno: $node is listed twice"
        continue
    fi
    [[ -d $ROOT/$node ]] || fail "$TABLE_NAME:$lineno: no folder $node"
    IS_NODE[$node]=1
    NODES+=("$node")
    uses=("${words[@]:1}")
    [[ ${uses[*]} == - ]] && uses=()
    ((${#words[@]} > 1)) || fail "$TABLE_NAME:$lineno: $node: say what it uses, or '-'"
    USES[$node]="${uses[*]/%\//}"
done <"$TABLE"

for node in "${NODES[@]}"; do
    for used in ${USES[$node]}; do
        [[ -n ${IS_NODE[$used]:-} ]] || fail "$TABLE_NAME: $node uses $used, which is not in the table"
    done
done

# ALLOWED["A B"]: A may use B (directly or through what it uses).
for node in "${NODES[@]}"; do
    stack=(${USES[$node]})
    while ((${#stack[@]})); do
        next=${stack[-1]}
        unset 'stack[-1]'
        [[ -n ${ALLOWED["$node $next"]:-} || -z ${IS_NODE[$next]:-} ]] && continue
        ALLOWED["$node $next"]=1
        stack+=(${USES[$next]})
    done
    [[ -n ${ALLOWED["$node $node"]:-} ]] && fail "$TABLE_NAME: $node uses itself through a cycle"
done

# NODE := the folder of a file: the deepest node above it, or empty.
node_of() {
    local path=$1 node
    NODE=""
    for node in "${NODES[@]}"; do
        if [[ $path == "$node"/* && ${#node} -gt ${#NODE} ]]; then
            NODE=$node
        fi
    done
}

# An edge from FILE:LINE to the file or target named WHAT.
check_edge() { # check_edge FILE LINE FROM_NODE TO_NODE WHAT
    local file=$1 line=$2 from=$3 to=$4 what=$5
    [[ -z $from || -z $to || $from == "$to" ]] && return
    [[ -n ${ALLOWED["$from $to"]:-} ]] && return
    fail "$file:$line: $what: $from -> $to is not an edge of $TABLE_NAME"
}

# --- the files ---------------------------------------------------------------
cd "$ROOT" || exit 2
mapfile -t FILES < <(find src tools -type f ! -path '*/.*' 2>/dev/null | LC_ALL=C sort)
declare -A NODE_OF=()
for file in "${FILES[@]}"; do
    node_of "$file"
    NODE_OF[$file]=$NODE
    if [[ -z $NODE ]]; then
        # The lists that only add the layers' folders belong to none.
        if [[ ${file##*/} == CMakeLists.txt ]] &&
            ! grep -qiE '^[[:space:]]*add_(library|executable)[[:space:]]*\(' "$file"; then
            continue
        fi
        fail "$file: in no folder of $TABLE_NAME"
    fi
done

# A path without "." and ".." parts.
normalize() {
    local part out=()
    local IFS=/
    for part in $1; do
        case $part in
        "" | .) ;;
        ..) ((${#out[@]})) && unset 'out[-1]' ;;
        *) out+=("$part") ;;
        esac
    done
    echo "${out[*]}"
}

# TARGET := a quoted include or a .ui header as the compiler finds it: beside
# the file, then below src/. Names that resolve to nothing (generated ui_*.h)
# are left to the compiler.
resolve() { # resolve FILE NAME
    local dir=${1%/*} cand
    TARGET=""
    for cand in "$dir/$2" "src/$2"; do
        if [[ -f $cand ]]; then
            [[ $cand == *./* ]] && cand=$(normalize "$cand")
            TARGET=$cand
            return
        fi
    done
}

sources=()
for file in "${FILES[@]}"; do
    case $file in
    *.h | *.hpp | *.c | *.cc | *.cpp | *.ui) sources+=("$file") ;;
    esac
done
if ((${#sources[@]})); then
    while IFS=$'\t' read -r file line name; do
        resolve "$file" "$name"
        [[ -n $TARGET ]] || continue
        what="includes \"$name\""
        [[ $file == *.ui ]] && what="names the header \"$name\""
        node_of "$TARGET"
        check_edge "$file" "$line" "${NODE_OF[$file]}" "$NODE" "$what"
    done < <(awk '
        FILENAME ~ /\.ui$/ {
            if (match($0, /<header>[^<]+<\/header>/))
                print FILENAME "\t" FNR "\t" substr($0, RSTART + 8, RLENGTH - 17)
            next
        }
        /^[ \t]*#[ \t]*include[ \t]*"/ {
            s = $0
            sub(/^[^"]*"/, "", s)
            sub(/".*$/, "", s)
            print FILENAME "\t" FNR "\t" s
        }' "${sources[@]}")
fi

# --- the libraries -----------------------------------------------------------
# Targets made in src/ and tools/ belong to the folder of their CMakeLists.txt;
# a link between two of them is an edge like an include. The aggregates
# quorvet_core and quorvet_gui would hide the edges, so layers never link them.
lists=()
for file in "${FILES[@]}"; do
    [[ ${file##*/} == CMakeLists.txt ]] && lists+=("$file")
done
declare -A TARGET_NODE=()
if ((${#lists[@]})); then
    records=$(awk '
        function flush() {
            if (text != "") {
                gsub(/[()\t]/, " ", text)
                print "LINK\t" file "\t" start "\t" text
            }
            text = ""
        }
        FNR == 1 { flush(); inlink = 0 }
        { sub(/#.*/, "") }
        match($0, /^[ \t]*add_(library|executable)[ \t]*\([ \t]*[A-Za-z0-9_.+-]+/) {
            name = substr($0, RSTART, RLENGTH)
            sub(/^[^(]*\([ \t]*/, "", name)
            print "DEF\t" FILENAME "\t" FNR "\t" name
        }
        !inlink && /^[ \t]*target_link_libraries[ \t]*\(/ {
            inlink = 1
            file = FILENAME
            start = FNR
            text = ""
            line = $0
            sub(/^[^(]*\(/, "", line)
        }
        inlink && FNR != start { line = $0 }
        inlink {
            if (index(line, ")")) {
                text = text " " substr(line, 1, index(line, ")") - 1)
                inlink = 0
                flush()
            } else {
                text = text " " line
            }
        }
        END { flush() }' "${lists[@]}")
    while IFS=$'\t' read -r kind file line rest; do
        [[ $kind == DEF ]] && TARGET_NODE[$rest]=${NODE_OF[$file]}
    done <<<"$records"
    while IFS=$'\t' read -r kind file line rest; do
        [[ $kind == LINK ]] || continue
        read -r -a words <<<"$rest"
        ((${#words[@]})) || continue
        target=${words[0]}
        from=${TARGET_NODE[$target]:-${NODE_OF[$file]}}
        for word in "${words[@]:1}"; do
            case $word in
            quorvet_core | quorvet_gui)
                [[ -n ${NODE_OF[$file]} ]] &&
                    fail "$file:$line: $target links the aggregate $word; link the layers it needs"
                ;;
            *)
                [[ -n ${TARGET_NODE[$word]+set} ]] &&
                    check_edge "$file" "$line" "$from" "${TARGET_NODE[$word]}" "$target links $word"
                ;;
            esac
        done
    done <<<"$records"
fi

# --- the README --------------------------------------------------------------
if [[ -n $README ]]; then
    shown=$(awk -v name="$TABLE_NAME" '
        index($0, name) && !seen { seen = 1; next }
        seen == 1 && /^ *```/ { seen = 2; next }
        seen == 2 && /^ *```/ { exit }
        seen == 2 { sub(/[ \t]+$/, ""); print }' "$README")
    wanted=$(printf '%s\n' "${TABLE_LINES[@]}")
    if [[ $shown != "$wanted" ]]; then
        fail "$README does not show $TABLE_NAME as it is; the block after the line naming it should read:"
        printf '%s\n' "${TABLE_LINES[@]}" >&2
    fi
fi

if ((errors)); then
    echo "layering: $errors problem(s); the allowed edges are in $TABLE" >&2
    exit 1
fi
echo "layering: ${#FILES[@]} files in ${#NODES[@]} folders keep the layers of $TABLE_NAME"

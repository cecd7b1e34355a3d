#!/usr/bin/env bash
# Compiles the program's Windows sources with MinGW-w64, syntax only, as the `windows` test.
# Usage: check-windows-sources.sh <compiler> <manifest folder> <source tree> <build tree>
#                                 <program folders...>
# The manifest folder holds, per target, its include folders, its definitions and its Windows
# sources (tests/windows/CMakeLists.txt writes them), and the list of targets with their autogen
# folders. Fails on any error or warning, and when a *_win.cpp file of the program's folders is in
# no target's list.
set -uo pipefail

compiler=$1
manifest=$2
source_tree=$3
build_tree=$4
shift 4

# What Qt's own Windows build adds to every compilation.
common_flags=(-fsyntax-only -std=c++17 -Wall -Wextra -Werror
  -DUNICODE -D_UNICODE -DWIN32 -DWIN64 -D_WIN64 -D_ENABLE_EXTENDED_ALIGNED_STORAGE)

# The compilation flags of one target: our folders as they are, the installed Qt headers as
# system headers (as the native build takes them), with Qt's Windows mkspec for the Linux one.
target_flags()
{
    local target=$1 dir
    flags=()
    while IFS= read -r dir; do
        # The Linux system headers are not MinGW's.
        case "$dir" in "" | /usr/include | /usr/local/include) continue ;; esac
        dir=${dir/\/mkspecs\/linux-g++/\/mkspecs\/win32-g++}
        case "$dir" in
        "$source_tree"/* | "$build_tree"/*) flags+=("-I$dir") ;;
        *) flags+=(-isystem "$dir") ;;
        esac
    done <"$manifest/$target.includes"
    while IFS= read -r define; do
        [ -n "$define" ] && flags+=("-D$define")
    done <"$manifest/$target.defines"
}

jobs=$(mktemp -d)
trap 'rm -rf "$jobs"' EXIT
listed="$jobs/listed"
: >"$listed"
failed=0
count=0
running=0

compile()
{
    local source=$1 log
    log="$jobs/$count.log"
    if ! "$compiler" "${common_flags[@]}" "${flags[@]}" "$source" >"$log" 2>&1; then
        echo "FAILED: $source"
        cat "$log"
        return 1
    fi
}

while IFS=$'\t' read -r target autogen; do
    target_flags "$target"
    sources=()
    while IFS= read -r source; do
        [ -n "$source" ] && sources+=("$source") && echo "$source" >>"$listed"
    done <"$manifest/$target.sources"
    # moc's output and the compiled-in resources.
    for generated in "$autogen"/mocs_compilation.cpp "$autogen"/*/qrc_*.cpp; do
        [ -f "$generated" ] && sources+=("$generated")
    done
    for source in "${sources[@]}"; do
        count=$((count + 1))
        compile "$source" </dev/null &
        running=$((running + 1))
        if [ "$running" -ge 2 ]; then
            wait -n || failed=1
            running=$((running - 1))
        fi
    done
    while [ "$running" -gt 0 ]; do
        wait -n || failed=1
        running=$((running - 1))
    done
done <"$manifest/targets"

for folder in "$@"; do
    for file in "$source_tree/$folder"/*_win.cpp; do
        [ -f "$file" ] || continue
        if ! grep -qxF "$file" "$listed"; then
            echo "FAILED: $file is compiled by no target (list it with amperlane_target_sources)"
            failed=1
        fi
    done
done

echo "$count sources checked as Windows code"
exit $failed

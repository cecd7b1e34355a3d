#!/bin/sh
# halyard.dll exports exactly "halyard" and imports only system DLLs.
set -u
dll=$1
dump=$(x86_64-w64-mingw32-objdump -p "$dll") || exit 1
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^[[:space:]]+\[' |
          awk '{print $NF}')
if [ "$exports" != "halyard" ]; then
    echo "unexpected exports: $exports"
    exit 1
fi
system="ADVAPI32.dll KERNEL32.dll msvcrt.dll ole32.dll SETUPAPI.dll SHELL32.dll USER32.dll"
for dll_name in $(printf '%s\n' "$dump" | awk '/DLL Name:/ {print $3}'); do
    case " $system " in
    *" $dll_name "*) ;;
    *) echo "unexpected import: $dll_name"; exit 1 ;;
    esac
done
echo "halyard.dll: one export, system imports only"

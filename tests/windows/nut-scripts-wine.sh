#!/usr/bin/env bash
# The installation's Windows NUT start scripts under Wine's cmd, with stand-ins for upsdrvctl.exe
# and upsd.exe: they take the local UPS name, host and port from the user's settings, and fall
# back to the defaults for values that are not plain names, addresses or numbers.
# Usage: nut-scripts-wine.sh <Wine prefix> <work folder> <fakenut.exe> <nut/win folder>
set -uo pipefail
export WINEPREFIX=$1
work=$2
fake=$3
scripts=$4
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

rm -rf "$work"
win="$work/inst/1.0/win"
mkdir -p "$win/x86_64-w64-mingw32-nut-server/sbin"
cp -r "$scripts"/. "$win"/
cp "$fake" "$win/x86_64-w64-mingw32-nut-server/sbin/upsdrvctl.exe"
cp "$fake" "$win/x86_64-w64-mingw32-nut-server/sbin/upsd.exe"
cd "$work" || exit 1

# Every Wine process writes to files: Wine's background processes must not hold CTest's pipes.
wine_cmd()
{
    timeout 60 wine cmd /c "$@" </dev/null >"$work/cmd.out" 2>&1
    tr -d '\r' <"$work/cmd.out"
}

home=$(basename "$(winepath -u "$(wine_cmd 'echo %USERPROFILE%')" 2>/dev/null)")
user_dir="$work/inst/1.0/AmperlaneSettings/$home"
mkdir -p "$user_dir"
failed=0

# Runs a start script and prints what the stand-in it started recorded.
run_script()
{
    local script=$1 program=$2 record
    record="$win/x86_64-w64-mingw32-nut-server/sbin/$program.exe.record"
    rm -f "$record"
    local said
    said=$(wine_cmd "$(winepath -w "$win/$script" 2>/dev/null)")
    echo "said: $said"
    for _ in $(seq 100); do
        [ -f "$record" ] && break
        sleep 0.1
    done
    tr -d '\r' <"$record" 2>/dev/null
}

expect()
{
    local what=$1 text=$2 pattern=$3
    if ! grep -qxF -- "$pattern" <<<"$text"; then
        echo "FAILED ($what): no line '$pattern' in:"
        echo "$text"
        failed=1
    fi
}

# shellcheck disable=SC2016
check_case()
{
    local name=$1 ups=$2 host=$3 port=$4 out
    out=$(run_script start_upsdrvctl.bat upsdrvctl)
    expect "$name: driver script" "$out" "said: NUT driver starting"
    expect "$name: driver started for the UPS" "$out" "arg=start"
    expect "$name: driver started for the UPS" "$out" "arg=$ups"
    expect "$name: the UPS section" "$out" "[$ups]"
    expect "$name: configuration in the user's folder" "$out" \
        "NUT_CONFPATH=$(winepath -w "$user_dir" 2>/dev/null | sed 's/\\$//')\\nut\\etc"
    out=$(run_script start_upsd.bat upsd)
    expect "$name: server script" "$out" "said: NUT server starting"
    expect "$name: server address" "$out" "LISTEN $host $port"
}

printf '[General]\r\nlocalUpsName=wrong\r\n[connectModeParam]\r\nmode=local\r\nlocalNutIP=127.0.0.2\r\nlocalNutPort=3499\r\nlocalUpsName=station_2\r\n' \
    >"$user_dir/settings.ini"
check_case "settings" station_2 127.0.0.2 3499

printf '[connectModeParam]\r\nlocalUpsName=x&echo INJECTED>pwned.txt\r\nlocalNutIP=a b\r\nlocalNutPort=%%PATH%%\r\n' \
    >"$user_dir/settings.ini"
check_case "hostile settings" nutdev1 127.0.0.1 3493
if find "$work" -name pwned.txt | grep -q .; then
    echo "FAILED: a value from the settings ran as a command"
    failed=1
fi

rm "$user_dir/settings.ini"
check_case "no settings" nutdev1 127.0.0.1 3493

[ $failed -eq 0 ] && echo "NUT start scripts as expected"
exit $failed

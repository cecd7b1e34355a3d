# Shared by the NUT scripts of the installation (sourced, not run).
#
# The program's NUT runs under the user who runs the program and never touches the system's NUT
# (/etc/nut, its services): configuration and state are handed to the NUT tools through their
# environment. The state (driver sockets, pid files, the generated configuration, the log and, for
# the simulated station, its .dev file) lives in the user's settings folder:
# <application folder>/AmperlaneSettings/<home folder name>/nut.

nut_here=$(cd "$(dirname "$0")" && pwd)
nut_app_dir=$(dirname "$nut_here")
nut_home_name=$(basename "${HOME:-/root}")

NUT_STATE_DIR="$nut_app_dir/AmperlaneSettings/$nut_home_name/nut"
NUT_CONFPATH="$NUT_STATE_DIR/etc"
NUT_STATEPATH="$NUT_STATE_DIR/run"
NUT_ALTPIDPATH="$NUT_STATE_DIR/run"
NUT_LOG="$NUT_STATE_DIR/nut.log"
export NUT_CONFPATH NUT_STATEPATH NUT_ALTPIDPATH

NUT_SBIN=/usr/sbin
NUT_DRIVER_DIR=/lib/nut

# The local server's address comes from the user's settings (group connectModeParam), as the
# program queries it.
NUT_SETTINGS_FILE="$nut_app_dir/AmperlaneSettings/$nut_home_name/settings.ini"

# One key of [connectModeParam]; the default when it is missing or is not a plain name, address or
# number (the value goes into NUT's configuration).
nut_setting()
{
    value=$(sed -n '/^\[connectModeParam\]/,/^\[/s/^'"$1"'=//p' "$NUT_SETTINGS_FILE" 2>/dev/null |
        head -n 1 | tr -d '\r')
    case "$value" in
        '' | *[!A-Za-z0-9._:-]*) echo "$2" ;;
        *) echo "$value" ;;
    esac
}

NUT_UPS_NAME=$(nut_setting localUpsName nutdev1)
NUT_LISTEN_HOST=$(nut_setting localNutIP 127.0.0.1)
NUT_LISTEN_PORT=$(nut_setting localNutPort 3493)

# The simulated station writes its variables to this file; its presence selects dummy-ups.
NUT_SIMULATED_DEV="$NUT_STATE_DIR/nutdev1.dev"

mkdir -p "$NUT_CONFPATH" "$NUT_STATEPATH"
chmod 700 "$NUT_STATEPATH"

# NUT drops root rights to its own account unless told to stay; a normal user needs no switch.
if [ "$(id -u)" = 0 ]; then
    NUT_USER_SWITCH="-u root"
else
    NUT_USER_SWITCH=""
fi

# The state folder may hold characters that sed's replacement text would take as its own.
nut_state_dir_escaped=$(printf '%s' "$NUT_STATE_DIR" | sed 's/[|&\\]/\\&/g')

nut_fill()
{
    sed -e "s|@NUT_STATE_DIR@|$nut_state_dir_escaped|g" -e "s|@NUT_UPS_NAME@|$NUT_UPS_NAME|g" \
        -e "s|@NUT_LISTEN_HOST@|$NUT_LISTEN_HOST|g" -e "s|@NUT_LISTEN_PORT@|$NUT_LISTEN_PORT|g" "$1"
}

# Builds the configuration NUT reads from the shipped templates: ups.conf gets the driver of the
# real or the simulated station.
nut_write_config()
{
    template="$nut_here/nut/etc/ups.conf"
    if [ -f "$NUT_SIMULATED_DEV" ]; then
        template="$nut_here/nut/etc/ups-simulated.conf"
    fi
    {
        if [ "$(id -u)" = 0 ]; then
            echo "user = root"
        fi
        nut_fill "$template"
    } >"$NUT_CONFPATH/ups.conf.new" && mv "$NUT_CONFPATH/ups.conf.new" "$NUT_CONFPATH/ups.conf"
    nut_fill "$nut_here/nut/etc/upsd.conf" >"$NUT_CONFPATH/upsd.conf"
    cp "$nut_here/nut/etc/upsd.users" "$NUT_CONFPATH/upsd.users"
    chmod 600 "$NUT_CONFPATH/upsd.conf" "$NUT_CONFPATH/upsd.users"
}

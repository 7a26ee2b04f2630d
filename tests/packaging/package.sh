#!/usr/bin/env bash
# The Debian package as a user gets it, unpacked without installing: its program answers --help
# and, on a German system, loads both translations from its installed place; its desktop file,
# AppStream metadata and manual page are valid, the manual page lists the options of the usage
# text, and lintian finds neither error nor warning. Runs inside usbsim sandbox: korvix sees no
# real port.
# Usage: package.sh BUILD_DIR
set -euo pipefail
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait; rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work
mkdir -p -m 700 "$HOME" "$XDG_RUNTIME_DIR"

cpack -G DEB --config "$1/CPackConfig.cmake" -B "$work/out" >/dev/null
deb=$(echo "$work"/out/korvix_*.deb)
root=$work/root
dpkg-deb -x "$deb" "$root"

usage=$("$root/usr/bin/korvix" --help 2>&1)
grep -qF 'Usage: korvix [options]' <<<"$usage" || { echo "no usage text: $usage"; exit 1; }
diff <({ grep -oE -- ' -[-?A-Za-z]+' <<<"$usage" | tr -d ' '; echo --localecho; } | sort -u) \
     <(zcat "$root/usr/share/man/man1/korvix.1.gz" | grep '^\.It Fl' | grep -oE 'Fl [^ ]+' \
       | sed 's/^Fl /-/; s/\\-/-/g' | sort -u)

desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >/dev/null
mandoc -T lint "$root/usr/share/man/man1/korvix.1.gz"
lintian --fail-on error,warning "$deb"

# A private X server; its first line is its display.
exec 3< <(exec "$(dirname "$0")/../../scripts/xvfb" 800x600x24)
pids+=($!)
read -r display <&3 || { echo "no X server could be started"; exit 1; }
DISPLAY=$display LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 LANGUAGE=de \
    "$root/usr/bin/korvix" --filterSN none 2>"$work/traces" &
pids+=($!)
for _ in $(seq 300); do grep -qxE 'my translator installed|myTranslator not found' "$work/traces" && break; sleep 0.1; done
grep -qx 'qtTranslator installed' "$work/traces" && grep -qx 'my translator installed' "$work/traces" \
    || { echo "translations not installed; traces:"; cat "$work/traces"; exit 1; }

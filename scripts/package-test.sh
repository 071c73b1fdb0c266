#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages and checks them: quellix-cli depends on no
# display stack and, in a root that holds nothing else, runs a session with
# the simulator; in a scratch root every program finds its libraries;
# installed with apt, every program starts, the panel runs (under a virtual
# display) with a per-user data folder; removed, they leave nothing behind
# but that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

fail() { echo "package test: $*" >&2; exit 1; }

rm -f build/quellix_*.deb build/quellix-cli_*.deb
(cd build && cpack -G DEB > cpack.log 2>&1) || { cat build/cpack.log >&2; fail "cpack failed"; }
cli_deb=$(ls build/quellix-cli_*.deb)
gui_deb=$(ls build/quellix_*.deb)
for deb in "$cli_deb" "$gui_deb"; do
  echo "== $deb: $(dpkg-deb -f "$deb" Depends)"
done

has_all() {  # DEB WANTED...: every wanted path is in the package
  local listing
  listing=$(dpkg-deb -c "$1")
  shift
  for wanted; do grep -q "$wanted" <<<"$listing" || fail "the package lacks $wanted"; done
}
has_all "$cli_deb" usr/bin/quellix-cli usr/libexec/quellix/quellix-cli-full usr/bin/quellix-sim libTavrik.so.1 usr/share/man/man1/quellix-cli.1 \
  usr/share/man/man1/quellix-sim.1 usr/share/bash-completion/completions/quellix-cli usr/bin/quellixd \
  usr/share/man/man8/quellixd.8 lib/systemd/system/quellixd.service usr/share/doc/quellix-cli/copyright
has_all "$gui_deb" usr/bin/Quellix usr/bin/quellix-edid libXandrel.so.1 usr/share/quellix/data/ds.dat \
  usr/share/applications/quellix.desktop usr/share/applications/quellix-edid.desktop \
  usr/share/icons/hicolor/48x48/apps/quellix.png
gui_libraries='libQt6Gui|libQt6Widgets|libQt6Svg|libX11|libxcb|libGL|libEGL|libOpenGL'
if dpkg-deb -f "$cli_deb" Depends | grep -qiE 'qt6gui|qt6widgets|libx11|libgl|qpa'; then
  fail "quellix-cli depends on a display stack"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$cli_deb" "$scratch/root"
dpkg-deb -x "$gui_deb" "$scratch/root"
cli_programs="usr/bin/quellix-cli usr/libexec/quellix/quellix-cli-full usr/bin/quellix-sim"
for program in usr/bin/Quellix usr/bin/quellix-edid $cli_programs; do
  missing=$(ldd "$scratch/root/$program" | grep "not found" || true)
  [ -z "$missing" ] || fail "$program in a scratch root does not find: $missing"
done
echo "== scratch root: every program finds its libraries"

# A root with the command-line package and the libraries its programs load,
# and nothing else: no display stack. The simulator and the command line run
# a session in it over TCP.
bare=$scratch/bare
dpkg-deb -x "$cli_deb" "$bare"
mkdir -p "$bare/tmp"
for program in $cli_programs; do
  for library in $(ldd "$bare/$program" | awk '/=> \// {print $3} /^\t\/[^ ]*ld-linux/ {print $1}'); do
    case $library in "$bare"/*) continue ;; esac
    mkdir -p "$bare$(dirname "$library")"
    cp -L "$library" "$bare$library"
  done
done
if find "$bare" -name '*.so*' | grep -qE "$gui_libraries"; then
  fail "the command line loads a display library: $(find "$bare" -name '*.so*' | grep -E "$gui_libraries")"
fi
if [ "$(id -u)" -eq 0 ]; then
  chroot "$bare" /usr/bin/quellix-cli --help > /dev/null || fail "quellix-cli does not start without a display stack"
  chroot "$bare" /usr/bin/quellix-sim --tcp 127.0.0.1:0 --address-file /tmp/address < /dev/null > "$scratch/sim.log" 2>&1 &
  sim=$!
  for _ in $(seq 50); do [ -s "$bare/tmp/address" ] && break; sleep 0.1; done
  chroot "$bare" /usr/bin/quellix-cli --port "$(cat "$bare/tmp/address")" status > "$scratch/status.log" 2>&1 \
    || { cat "$scratch/sim.log" "$scratch/status.log" >&2; kill $sim; fail "quellix-cli status failed without a display stack"; }
  kill $sim
  wait $sim 2>/dev/null || true
  echo "== a root with no display stack: quellix-cli and quellix-sim run a session ($(ls "$bare"/lib*/*/ "$bare"/usr/lib*/*/ 2>/dev/null | grep -c '\.so') libraries)"
else
  echo "== not root: the session in a root without a display stack is skipped"
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then sudo_cmd=(sudo); else echo "== not root: apt install skipped"; exit 0; fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get install -y "$root/$cli_deb" "$root/$gui_deb" > "$scratch/install.log" 2>&1 || { cat "$scratch/install.log" >&2; fail "apt install failed"; }
for program in quellix-cli quellix-sim; do
  "/usr/bin/$program" --help > /dev/null || fail "installed $program does not start"
done
home=$scratch/home
mkdir -p "$home"
(cd "$home" && HOME=$home QUELLIX_USER_DATA=1 QUELLIX_SNAPSHOT_DIR=$scratch/shots \
   xvfb-run -a /usr/bin/Quellix > "$scratch/quellix.log" 2>&1) || { cat "$scratch/quellix.log" >&2; fail "installed Quellix did not end cleanly"; }
grep -q "window visible=1" "$scratch/shots/run.txt" || fail "installed Quellix showed no matrix window"
[ -f "$home/.local/share/quellix/data/ds.dat" ] || fail "no per-user data folder was made"
(cd "$home" && HOME=$home QUELLIX_USER_DATA=1 timeout 5 xvfb-run -a /usr/bin/quellix-edid > /dev/null 2>&1) || [ $? -eq 124 ] \
  || fail "installed quellix-edid does not start"
echo "== installed: the programs start; Quellix ran with $home/.local/share/quellix"

# The daemon's unit as installed: it starts the program the package put
# there, names its manual page, and exposes little (systemd's own rating).
unit=/lib/systemd/system/quellixd.service
executable=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
[ -x "$executable" ] || fail "$unit starts $executable, which is not installed"
grep -q '^Documentation=man:quellixd(8)$' "$unit" || fail "$unit does not name quellixd(8)"
[ -f /usr/share/man/man8/quellixd.8.gz ] || [ -f /usr/share/man/man8/quellixd.8 ] || fail "quellixd(8) is not installed"
exposure=$(systemd-analyze security --offline=true "$unit" 2>/dev/null | sed -n 's/.*Overall exposure level for quellixd.service: \([0-9.]*\).*/\1/p')
[ -n "$exposure" ] || fail "systemd-analyze did not rate $unit"
awk -v e="$exposure" 'BEGIN { exit !(e <= 4.0) }' || fail "$unit is rated $exposure by systemd-analyze security (at most 4.0 wanted)"
echo "== installed unit: starts $executable, rated $exposure by systemd-analyze security"

"${sudo_cmd[@]}" apt-get remove -y quellix quellix-cli > "$scratch/remove.log" 2>&1 || { cat "$scratch/remove.log" >&2; fail "apt remove failed"; }
for left in /usr/bin/Quellix /usr/bin/quellix-cli /usr/share/quellix /usr/share/applications/quellix.desktop; do
  [ ! -e "$left" ] || fail "$left is still there after removal"
done
[ -f "$home/.local/share/quellix/data/ds.dat" ] || fail "removal took the person's data folder"
echo "== removed: nothing left but the person's data folder"

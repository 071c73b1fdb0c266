#!/usr/bin/env bash
# Builds the Debian package and checks it: in a scratch root every program
# finds its libraries; installed with apt, every program starts, the panel
# runs (under a virtual display) with a per-user data folder; removed, it
# leaves nothing behind but that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

fail() { echo "package test: $*" >&2; exit 1; }

rm -f build/quellix_*.deb
(cd build && cpack -G DEB > cpack.log 2>&1) || { cat build/cpack.log >&2; fail "cpack failed"; }
deb=$(ls build/quellix_*.deb)
echo "== $deb: $(dpkg-deb -f "$deb" Depends)"

programs=(Quellix quellix-edid quellix-cli quellix-sim)
listing=$(dpkg-deb -c "$deb")
for wanted in "${programs[@]/#/usr/bin/}" usr/share/quellix/data/ds.dat usr/share/applications/quellix.desktop \
    usr/share/applications/quellix-edid.desktop usr/share/icons/hicolor/48x48/apps/quellix.png \
    usr/share/man/man1/quellix-cli.1 libXandrel.so.1 libTavrik.so.1; do
  grep -q "$wanted" <<<"$listing" || fail "the package lacks $wanted"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
for program in "${programs[@]}"; do
  missing=$(ldd "$scratch/root/usr/bin/$program" | grep "not found" || true)
  [ -z "$missing" ] || fail "$program in a scratch root does not find: $missing"
done
"$scratch/root/usr/bin/quellix-cli" --help > /dev/null
"$scratch/root/usr/bin/quellix-sim" --help > /dev/null
echo "== scratch root: every program finds its libraries"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then sudo_cmd=(sudo); else echo "== not root: apt install skipped"; exit 0; fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get install -y "$root/$deb" > "$scratch/install.log" 2>&1 || { cat "$scratch/install.log" >&2; fail "apt install failed"; }
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

"${sudo_cmd[@]}" apt-get remove -y quellix > "$scratch/remove.log" 2>&1 || { cat "$scratch/remove.log" >&2; fail "apt remove failed"; }
for left in /usr/bin/Quellix /usr/share/quellix /usr/share/applications/quellix.desktop; do
  [ ! -e "$left" ] || fail "$left is still there after removal"
done
[ -f "$home/.local/share/quellix/data/ds.dat" ] || fail "removal took the person's data folder"
echo "== removed: nothing left but the person's data folder"

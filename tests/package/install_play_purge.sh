#!/usr/bin/env bash
# The Debian package on this machine as a user gets it: installed with apt-get, started by an
# ordinary user from its menu entry and played through a JACK receiver, once without the
# SoundFonts it only recommends and once with them (then its synth must load the engine module
# installed beside it), and purged: afterwards no file of it remains. Every file the running
# program mapped must come from a package that its dependencies pull in.
# What the test installs is purged on every way out; packages that were there before stay.
#
# Usage: install_play_purge.sh DEB RECEIVER
# Needs root (exits 77, skipped, without it), apt-get, setpriv, unshare and Xvfb, and what
# play_installed.sh needs.
set -uo pipefail

readonly SKIP=77
readonly USER_ID=nobody GROUP_ID=nogroup
readonly SOUNDFONT_FOLDERS=(/usr/share/sounds/sf2 /usr/share/soundfonts /usr/local/share/sounds/sf2
  /usr/local/share/soundfonts)
here=$(dirname "$(realpath "$0")")
deb=$(realpath "$1")
receiver=$(realpath "$2")

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing a package needs root"
  exit $SKIP
fi

# shellcheck source=../support/session_lib.sh
source "$here/../support/session_lib.sh"

known_to_dpkg() { dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null | grep -qv '^not-installed$'; }
known_to_dpkg kalvora && fail "a kalvora package is on this machine already; the test leaves it alone"

export DEBIAN_FRONTEND=noninteractive
# Waits for another apt or dpkg run to finish instead of failing at once.
apt=(apt-get -q -y -o DPkg::Lock::Timeout=60)

# What installing adds; an upgrade could not be undone, so none is allowed.
plan=$(apt-get -s install "$deb") || fail "apt-get cannot install $deb: $plan"
grep -q '^Inst [^ ]* \[' <<<"$plan" && fail "installing would upgrade packages: $(grep '^Inst' <<<"$plan")"
mapfile -t added < <(awk '/^Inst /{ print $2 }' <<<"$plan")

# In /tmp, whatever TMPDIR says: the ordinary user must reach it.
session_begin package /tmp
chmod 755 "$work"
# What the test installed is purged on every way out.
session_on_exit() {
  local leftover=() package
  for package in "${added[@]}"; do known_to_dpkg "$package" && leftover+=("$package"); done
  [ ${#leftover[@]} -eq 0 ] || "${apt[@]}" purge "${leftover[@]}" >"$work/cleanup.log" 2>&1 ||
    { echo "could not purge ${leftover[*]}:"; cat "$work/cleanup.log"; }
}

"${apt[@]}" install "$deb" >"$work/install.log" 2>&1 || fail "apt-get install: $(cat "$work/install.log")"
echo "ok: installed ${added[*]} (${SECONDS} s)"
mapfile -t package_files < <(dpkg-query -L kalvora | while read -r path; do [ -d "$path" ] || echo "$path"; done)

# Started by root, the X server may take the place of a stale socket that another user's server
# left; with no authority file any local user may connect.
start_xvfb

# The ordinary user: a home of its own, the tools where it can read them.
home=$work/home
mkdir -p "$home/tmp" "$work/tools" "$work/run1" "$work/run2"
cp "$here/play_installed.sh" "$here/../support/session_lib.sh" "$receiver" "$work/tools/"
chown -R "$USER_ID:$GROUP_ID" "$home" "$work/run1" "$work/run2"
# A run takes seconds; the bound keeps a hung one from keeping the purge from running.
as_user=(timeout --kill-after=5 90 setpriv --reuid="$USER_ID" --regid="$GROUP_ID" --clear-groups
  env -i HOME="$home" TMPDIR="$home/tmp" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY"
  bash "$work/tools/play_installed.sh" "$work/tools/$(basename "$receiver")")

# Without the SoundFonts: their folders covered by empty ones in a mount namespace of its own.
hidden=()
for folder in "${SOUNDFONT_FOLDERS[@]}"; do [ -d "$folder" ] && hidden+=("$folder"); done
# shellcheck disable=SC2016 # expanded by the inner shell
without_soundfonts=(env HIDDEN="${hidden[*]}" unshare -m bash -c
  'for folder in $HIDDEN; do mount -t tmpfs -o ro tmpfs "$folder" || exit 1; done; exec "$@"' hide)

# play COMMAND...: the run, once more when the program could not reach the X server at all,
# which on a machine full of other X servers happens now and then and is none of the package's.
play() {
  "$@" | tee "$work/play.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] && return 0
  grep -q 'could not connect to display' "$work/play.log" || return 1
  echo "the program could not reach the X server; once more"
  "$@"
}
play "${without_soundfonts[@]}" "${as_user[@]}" "$work/run1" || fail "the run without SoundFonts failed"
echo "ok: starts and plays without the SoundFonts (${SECONDS} s)"
play "${as_user[@]}" "$work/run2" --switch-to-synth || fail "the run with the synth failed"

# Packages that installing kalvora pulls in: all its dependencies, and also the recommended
# ones when it ran with them; and the essential ones, which every Debian system has.
pulled_in() {
  {
    apt-cache depends --recurse --installed --no-suggests --no-conflicts --no-breaks --no-replaces \
      --no-enhances "$@" kalvora | grep -v '^ ' | tr -d '<>'
    dpkg-query -W -f='${Package} ${Essential}\n' | awk '$2 == "yes" { print $1 }'
  } | sort -u
}
# The packages owning the files in a /proc/PID/maps; files no package owns (caches, shared
# memory, the locale archive) are no package's to bring. dpkg knows /lib's files by that name
# on a merged /usr.
owners_of_mapped_files() {
  local files=() owned
  mapfile -t files < <(awk '$6 ~ /^\// { print $6 }' "$1" | sort -u)
  owned=$(dpkg-query -S "${files[@]}" 2>/dev/null; dpkg-query -S "${files[@]#/usr}" 2>/dev/null)
  # "libc6:amd64: /lib/...", or "a, b: /path" for a folder or file that two packages hold.
  grep -v '^diversion' <<<"$owned" | sed 's/: .*//' | tr ',' '\n' | sed 's/^ *//; s/:.*//' | sort -u
}
check_owners() {
  local maps=$1 allowed=$2 missing
  missing=$(comm -23 <(owners_of_mapped_files "$maps") <(echo "$allowed"))
  [ -z "$missing" ] || fail "the program mapped files of packages its dependencies do not bring: $missing"
}
check_owners "$work/run1/maps.txt" "$(pulled_in --no-recommends)"
check_owners "$work/run2/maps.txt" "$(pulled_in)"
echo "ok: every file the program mapped comes with its dependencies"

"${apt[@]}" purge kalvora >"$work/purge.log" 2>&1 || fail "apt-get purge: $(cat "$work/purge.log")"
known_to_dpkg kalvora && fail "dpkg still knows kalvora after the purge"
for path in "${package_files[@]}" /usr/lib/kalvora /usr/share/doc/kalvora /usr/bin/kalvora.ini; do
  [ ! -e "$path" ] || fail "$path is left after the purge"
done
failed=0
echo "PASS: installed, played, purged; none of its ${#package_files[@]} files is left (${SECONDS} s)"

#!/bin/sh
# Runs the desktop program as an unprivileged user (nobody) on a card copy: it must open the
# card, list its recordings and end normally, with no administrator refusal.
# Usage: unprivileged_run.sh KORVAN CARDSIM. Exit 77 (skipped) when it cannot drop privileges.
set -u
korvan=$1
cardsim=$2
if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null 2>&1; then
  echo "skipped: needs root and setpriv to run as nobody"
  exit 77
fi
work=$(mktemp -d /tmp/korvan-unprivileged.XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cat >"$work/scenario.json" <<'JSON'
{"seed": 5, "width": 352, "height": 288, "partition_files": 1, "file_mib": 2,
 "last_file_mib": 2, "devices": [{"imei_sn": 12, "first_label": 1}],
 "recordings": [{"start": "2024-05-01 10:00:00", "duration_s": 2}]}
JSON
"$cardsim" write "$work/card" --scenario "$work/scenario.json" >/dev/null || exit 1
chmod -R a+rX,go-w "$work/card"
mkdir -p "$work/out" "$work/home"
chown nobody "$work/out" "$work/home"
chmod 700 "$work/home"
as_nobody() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" \
    XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=offscreen "$@"
}
if ! as_nobody test -x "$korvan"; then
  echo "skipped: nobody cannot reach $korvan"
  exit 77
fi
as_nobody id -u | grep -qx 65534 || { echo "not running as nobody"; exit 1; }
if ! as_nobody timeout 120 "$korvan" --screenshot "$work/out" "$work/card"; then
  echo "korvan failed as an unprivileged user"
  exit 1
fi
for shot in card_operations.png record_list.png; do
  [ -s "$work/out/$shot" ] || { echo "missing $shot: the card was not opened"; exit 1; }
done
echo "korvan ran as nobody on a card copy"

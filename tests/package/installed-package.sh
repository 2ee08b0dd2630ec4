#!/usr/bin/env bash
# The tavo package as people meet it: built, installed with apt as root, used by an ordinary
# user with no register step, and purged without a trace. Run as root on a machine where
# scripts/setup has run; the package is built by scripts/package beforehand.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

passed=0
failed=0
check() {  # check NAME COMMAND...: one case
  local name=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    passed=$((passed + 1))
    echo "ok: $name"
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
    sed 's/^/    /' "$work/out" | tail -n 20
  fi
}

[ "$(id -u)" -eq 0 ] || { echo "installed-package: needs root" >&2; exit 2; }
deb=$(ls "$root"/build/package/tavo_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "installed-package: build the package with scripts/package first" >&2; exit 2; }

work=$(mktemp -d /tmp/tavo-package-XXXXXX)
chmod 755 "$work"
user=tavo-package-test
# Firefox's policies may hold another administrator's: kept here and put back byte for byte.
firefox_policies=/etc/firefox/policies/policies.json
firefox_folders_made=()
for folder in /etc/firefox /etc/firefox/policies; do [ -d "$folder" ] || firefox_folders_made=("$folder" "${firefox_folders_made[@]}"); done
[ -e "$firefox_policies" ] && cp -p "$firefox_policies" "$work/firefox-policies.kept"
started=()
cleanup() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${runtime:-}" ] && rm -rf "$runtime"
  [ -n "${made_run_user:-}" ] && rmdir /run/user 2>/dev/null
  userdel -r "$user" >/dev/null 2>&1
  if [ -e "$work/firefox-policies.kept" ]; then cp -p "$work/firefox-policies.kept" "$firefox_policies"; else rm -f "$firefox_policies"; fi
  for folder in "${firefox_folders_made[@]}"; do rmdir "$folder" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# The tests of this suite must see the machine's registry, never a file of the caller's.
unset TAVO_REGISTRY TAVO_MACHINE_REGISTRY XDG_DATA_HOME
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_user() { runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }

# lintian on the built package: no errors.
lintian_ok() {
  lintian --info "$deb" | tee "$work/lintian.txt"
  ! grep -q '^E:' "$work/lintian.txt"
}
check "lintian reports no error" lintian_ok

dpkg -r tavo >/dev/null 2>&1
check "apt installs the package" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb"
dpkg -L tavo | sort >"$work/files.txt"

version_is_one() { [ "$(as_user tavoprint call GetOcxVersion 2.0.0.2)" = "1" ]; }
check "GetOcxVersion answers 1 for a user with no register step" version_is_one
check "tavoprint --help and --version exit 0" sh -c 'tavoprint --help >/dev/null && tavoprint --version | grep -q "2.0.0.2"'
usage_is_two() { tavoprint frobnicate >/dev/null 2>&1; [ $? -eq 2 ]; }
check "a usage error exits 2" usage_is_two
# The installed catalogs and Chinese manual page, found from /usr/bin under a real zh_CN locale.
speaks_chinese() {
  localedef -i zh_CN -f UTF-8 "$work/zh_CN.UTF-8" 2>/dev/null || [ $? -eq 1 ] || return 1
  local said
  said=$(env LOCPATH="$work" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 tavoprint frobnicate 2>&1)
  grep -qx "tavoprint: 未知命令 frobnicate" <<<"$said" &&
    [ -s /usr/share/man/zh_CN/man1/tavoprint.1.gz ]
}
check "tavoprint speaks Chinese under a Chinese locale" speaks_chinese

prints_pdf() {
  as_user mkdir -p "$home/out"
  as_user tavoprint print /usr/share/doc/tavo/examples/invoice/data.xml \
    /usr/share/doc/tavo/examples/invoice/rule.xml --pdf "$home/out/invoice.pdf" &&
    pdfinfo "$home/out/invoice.pdf" | grep -q '^Pages: *1$'
}
check "a user prints the sample invoice to a PDF" prints_pdf
check "the user unit file is accepted" systemd-analyze verify /usr/lib/systemd/user/tavobridge.service
check "the system socket and the dispatcher's unit are accepted" \
  systemd-analyze verify /usr/lib/systemd/system/tavobridge.socket /usr/lib/systemd/system/tavobridge.service
units_enabled() {
  systemctl --root=/ list-unit-files tavobridge.socket | grep -q '^tavobridge.socket *enabled' &&
    test -L /etc/systemd/user/graphical-session.target.wants/tavobridge.service
}
check "the system socket is listed enabled, the user unit with every graphical session" units_enabled
# Exposure 0-100 as systemd-analyze counts it (shown as 0.0-10.0).
check "the dispatcher's service is hardened (exposure at most 2.0)" \
  systemd-analyze security --offline=yes --threshold=20 /usr/lib/systemd/system/tavobridge.service
check "the dispatcher's system user exists and cannot log in" \
  sh -c 'getent passwd _tavo | grep -q ":/nonexistent:/usr/sbin/nologin$"'

# The installed units' commands as systemd would run them: the dispatcher as _tavo with its one
# capability on a free port, the user's bridge on its runtime folder's socket.
dispatches_to_user() {
  local port uid
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  uid=$(id -u "$user")
  [ -d /run/user ] || { mkdir -p /run/user && made_run_user=1; }
  runtime=/run/user/$uid
  install -d -m 0700 -o "$user" -g "$(id -g "$user")" "$runtime"
  local user_command dispatch_command
  user_command=$(sed -n 's/^ExecStart=//p' /usr/lib/systemd/user/tavobridge.service)
  dispatch_command=$(sed -n 's/^ExecStart=//p' /usr/lib/systemd/system/tavobridge.service)
  # shellcheck disable=SC2086
  as_user env XDG_RUNTIME_DIR="$runtime" $user_command >"$work/user-bridge.out" 2>&1 &
  started+=($!)
  # shellcheck disable=SC2086
  systemd-socket-activate -l "127.0.0.1:$port" setpriv --reuid=_tavo --regid=_tavo --clear-groups \
    --inh-caps=+dac_read_search --ambient-caps=+dac_read_search --bounding-set=-all,+dac_read_search \
    --no-new-privs -- $dispatch_command >"$work/dispatcher.out" 2>&1 &
  started+=($!)
  for _ in $(seq 100); do
    grep -q "listening on $runtime/tavo/bridge.sock" "$work/user-bridge.out" && break
    sleep 0.1
  done
  as_user tavoprint bridge --port "$port" | tee "$work/bridge-status.txt"
  cat "$work/user-bridge.out" "$work/dispatcher.out"
  grep -q "on 127.0.0.1:$port serves user $user; display: no; control registered: yes" "$work/bridge-status.txt"
}
check "the installed dispatcher hands the user's connection to the user's own bridge" dispatches_to_user
for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
wait 2>/dev/null
started=()
check "tavobridge --help and --version exit 0" sh -c 'tavobridge --help >/dev/null && tavobridge --version | grep -q "2.0.0.2"'
check "the installed tavobridge serves tavo.js and the designer, and prints through it" node tests/package/bridge-print.mjs
check "the client's npm package lies beside tavo.js" sh -c 'tar -xzOf /usr/share/tavo/tavo-client.tgz package/package.json | grep -q "\"name\": \"tavo-client\""'
their_firefox_policies='{"policies": {"DisableTelemetry": true}}'
site_for_machine() {
  mkdir -p "$(dirname "$firefox_policies")" && printf '%s' "$their_firefox_policies" >"$firefox_policies" &&
    tavoprint site allow https://erp.example.test --machine &&
    grep -qx 'allow https://erp.example.test' /etc/tavo/bridge-origins &&
    grep -q '"https://erp.example.test"' /etc/chromium/policies/managed/tavo-bridge.json &&
    grep -q '"erp.example.test"' "$firefox_policies" &&
    as_user tavoprint site list | grep -qx 'https://erp.example.test  allowed: machine, Chromium, Firefox'
}
check "tavoprint site allow --machine writes the machine's policy and both browsers'" site_for_machine

# A user's own registration of another module path wins; removing it falls back.
module=$(grep '/TavoPreFmtPrinter2X.so$' "$work/files.txt")
check "the preview dialog's module lies beside the control's" test -f "$(dirname "$module")/TavoPreviewDialog.so"
user_registration_wins() {
  as_user mkdir -p "$home/mine" && as_user cp "$module" "$home/mine/" &&
    as_user tavoprint register "$home/mine/TavoPreFmtPrinter2X.so" | grep -q "$home/.local/share/tavo/registry.reg" &&
    as_user rm "$home/mine/TavoPreFmtPrinter2X.so" &&
    ! as_user tavoprint call GetOcxVersion 2.0.0.2 &&
    as_user tavoprint unregister >/dev/null &&
    [ "$(as_user tavoprint call GetOcxVersion 2.0.0.2)" = "1" ]
}
check "a user's registration wins over the machine's and falls back when removed" user_registration_wins

damaged_machine_file() {
  cp /var/lib/tavo/registry.reg "$work/registry.good"
  printf 'Windows Registry Editor Version 5.00\n\n[broken\n' >/var/lib/tavo/registry.reg
  cp /var/lib/tavo/registry.reg "$work/registry.damaged"
  local message
  message=$(as_user tavoprint call GetOcxVersion 2.0.0.2 2>&1)
  local status=$?
  as_user tavoprint register >/dev/null 2>&1
  cmp -s /var/lib/tavo/registry.reg "$work/registry.damaged"
  local kept=$?
  cp "$work/registry.good" /var/lib/tavo/registry.reg
  echo "$message"
  [ $status -ne 0 ] && [[ $message == */var/lib/tavo/registry.reg* ]] && [ $kept -eq 0 ]
}
check "a damaged machine registry is an error naming it and no user's process rewrites it" damaged_machine_file
as_user tavoprint unregister >/dev/null 2>&1

check "apt purges the package" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tavo
nothing_left() {
  local left=0
  while read -r path; do
    # Shared folders such as /usr/bin stay; folders of our own must go.
    if [ -d "$path" ] && [[ $path != */tavo* ]]; then continue; fi
    if [ -e "$path" ]; then echo "left: $path"; left=1; fi
  done <"$work/files.txt"
  [ -e /var/lib/tavo ] && { echo "left: /var/lib/tavo"; left=1; }
  getent passwd _tavo && { echo "left: the system user _tavo"; left=1; }
  getent group _tavo && { echo "left: the group _tavo"; left=1; }
  return $left
}
check "nothing of the package is left after purge" nothing_left
only_ours_purged() {
  [ ! -e /etc/tavo ] && [ ! -e /etc/chromium/policies/managed/tavo-bridge.json ] &&
    python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1])) != json.loads(sys.argv[2]))' \
      "$firefox_policies" "$their_firefox_policies"
}
check "purge takes our site entries out of the browsers' policies, and only ours" only_ours_purged

echo "installed-package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

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
cleanup() {
  userdel -r "$user" >/dev/null 2>&1
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

prints_pdf() {
  as_user mkdir -p "$home/out"
  as_user tavoprint print /usr/share/doc/tavo/examples/invoice/data.xml \
    /usr/share/doc/tavo/examples/invoice/rule.xml --pdf "$home/out/invoice.pdf" &&
    pdfinfo "$home/out/invoice.pdf" | grep -q '^Pages: *1$'
}
check "a user prints the sample invoice to a PDF" prints_pdf
check "the user unit file is accepted" systemd-analyze verify /usr/lib/systemd/user/tavobridge.service
check "tavobridge --help and --version exit 0" sh -c 'tavobridge --help >/dev/null && tavobridge --version | grep -q "2.0.0.2"'
check "the installed tavobridge serves tavo.js and the designer, and prints through it" node tests/package/bridge-print.mjs
check "the Chromium policy file is there and is JSON" python3 -m json.tool /etc/chromium/policies/managed/tavo-bridge.json

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
  return $left
}
check "nothing of the package is left after purge" nothing_left

echo "installed-package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

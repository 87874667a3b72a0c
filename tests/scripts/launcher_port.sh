#!/usr/bin/env bash
# The launcher's first torvel.txt names the adapter plugged in: by its stable name under
# serial/by-id when it has one, else by its device, else the usual first name. The function
# runs against fake device folders whose "devices" are links to /dev/null (a character
# device any user may see).
set -euo pipefail
launcher=$1
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT

# The launcher's own function, pointed at the fake folders.
sed -n '/^first_usb_port() {$/,/^}$/p' "$launcher" | sed "s#/dev/#$fake/dev/#g" >"$fake/port.sh"
grep -q first_usb_port "$fake/port.sh" || { echo "no first_usb_port in $launcher"; exit 1; }
first_port() { bash -c ". '$fake/port.sh'; first_usb_port"; }

fail() {
  echo "launcher port: $*" >&2
  exit 1
}

mkdir -p "$fake/dev/serial/by-id"
[ "$(first_port)" = "$fake/dev/ttyUSB0" ] || fail "nothing plugged in: $(first_port)"

ln -s /dev/null "$fake/dev/ttyUSB1"
[ "$(first_port)" = "$fake/dev/ttyUSB1" ] || fail "an adapter without a stable name: $(first_port)"

stable=usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
ln -s ../../ttyUSB1 "$fake/dev/serial/by-id/$stable"
[ "$(first_port)" = "$fake/dev/serial/by-id/$stable" ] \
  || fail "an adapter with a stable name: $(first_port)"
echo "launcher port: ok"

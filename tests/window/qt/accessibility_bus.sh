#!/usr/bin/env bash
# Runs the Qt tests of what screen readers hear where they could hear it, as
# on a desktop with accessibility turned on: a session bus of its own, on
# which at-spi2-core's accessibility bus starts and is told to be enabled.
# Needs an X display (xvfb-run). Fails when the cases skip all the same.
# usage: accessibility_bus.sh TEST_PROGRAM GTEST_FILTER
set -euo pipefail
program="$1" filter="$2"
work="$(mktemp -d)"
bus=""
trap '[ -z "$bus" ] || kill "$bus"; rm -rf "$work"' EXIT
# Of the system's services, only the accessibility bus.
source "$(dirname "$0")/private_bus.sh"
private_bus_config "$work/bus.conf" "$work/services"
ln -s /usr/share/dbus-1/services/org.a11y.Bus.service "$work/services/"
dbus-daemon --config-file="$work/bus.conf" --fork --print-address=3 --print-pid=4 3>"$work/address" 4>"$work/pid"
bus="$(cat "$work/pid")"
DBUS_SESSION_BUS_ADDRESS="$(head -1 "$work/address")"
export DBUS_SESSION_BUS_ADDRESS
# What a desktop's accessibility switch does; the call starts the bus too.
dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
  org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true \
  >/dev/null
status=0
QT_QPA_PLATFORM=xcb "$program" --gtest_filter="$filter" >"$work/log" 2>&1 || status=$?
cat "$work/log"
[ "$status" -eq 0 ] || exit "$status"
! grep -q '^\[  SKIPPED \]' "$work/log" || { echo "FAIL: skipped with an accessibility bus"; exit 1; }
grep -q '^\[  PASSED  \]' "$work/log"

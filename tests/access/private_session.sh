#!/bin/sh
# Runs a command inside a session of its own: a private D-Bus session bus (where the AT-SPI bus
# and registry start on demand) and a private X server. Exit 77 (skipped) with a message when
# a tool from outside the project is missing.
for tool in dbus-run-session xvfb-run xauth; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (packages dbus-daemon, xvfb, xauth)"
    exit 77
  fi
done
if [ ! -x /usr/libexec/at-spi-bus-launcher ] || [ ! -x /usr/libexec/at-spi2-registryd ]; then
  echo "SKIPPED: the AT-SPI bus launcher or registry is not installed (package at-spi2-core)"
  exit 77
fi
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" "$@"

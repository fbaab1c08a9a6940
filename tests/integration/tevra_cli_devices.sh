#!/bin/sh
# The tevra command lists and switches a veth pair in a network namespace of its own, never the host's
# interfaces. Exit status 77 (skipped) where network namespaces are not permitted.
tevra=$1
if ! unshare --net true 2>/dev/null; then
  echo "skipped: network namespaces are not permitted here; the test needs root or CAP_SYS_ADMIN"
  exit 77
fi
exec unshare --net sh -eu -c '
  tevra=$1
  [ "$(ip -o link | wc -l)" -eq 1 ] || { echo "not a fresh network namespace"; exit 1; }
  ip link add tevra0 type veth peer name tevra1
  "$tevra" devices enable TEVRA0 --exact
  ip -o link show tevra0 | grep -q "[<,]UP[,>]"
  "$tevra" devices disable tevra0 --location ""
  ! ip -o link show tevra0 | grep -q "[<,]UP[,>]"
  ! "$tevra" devices enable tevra --location pci0000:00
  "$tevra" devices list | grep -Eq "^[0-9]+ +tevra0 +Net +- +-$"
' sh "$tevra"

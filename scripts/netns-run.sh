#!/bin/sh
# Runs a command inside a fresh, private network namespace, for tests that
# broadcast: nothing sent there can leave it, not even 255.255.255.255.
#
#   scripts/netns-run.sh [--addr ADDR[/PREFIX]]... [--peer-addr ADDR[/PREFIX]]... -- COMMAND [ARG]...
#
# The namespace has its loopback interface up and a veth pair, veth0 and veth1,
# with both ends inside it: --addr puts an address on veth0, --peer-addr on
# veth1 (the prefix defaults to /24). A default route through veth0 makes the
# subnet broadcast and the limited broadcast loop back to listeners in the
# namespace. The namespace ends with the command, whose exit code is returned.
# Needs root (unshare and ip from util-linux and iproute2).
set -eu

if [ "${1:-}" = "--inside" ]; then
    shift
    ip link set lo up
    ip link add veth0 type veth peer name veth1
    while [ $# -gt 0 ]; do
        case "$1" in
            --addr|--peer-addr)
                dev=veth0
                [ "$1" = "--peer-addr" ] && dev=veth1
                addr="$2"
                case "$addr" in */*) ;; *) addr="$addr/24" ;; esac
                ip addr add "$addr" dev "$dev"
                shift 2 ;;
            --) shift; break ;;
            *) echo "netns-run.sh: unknown option $1" >&2; exit 2 ;;
        esac
    done
    ip link set veth0 up
    ip link set veth1 up
    ip route add default dev veth0
    [ $# -gt 0 ] || { echo "netns-run.sh: no command given" >&2; exit 2; }
    exec "$@"
fi

case " $* " in
    *" -- "*) ;;
    *) echo "usage: $0 [--addr ADDR[/PREFIX]]... [--peer-addr ADDR[/PREFIX]]... -- COMMAND [ARG]..." >&2
       exit 2 ;;
esac
if ! command -v unshare >/dev/null 2>&1 || ! command -v ip >/dev/null 2>&1; then
    echo "netns-run.sh: needs unshare (util-linux) and ip (iproute2)" >&2
    exit 77
fi
exec unshare --net -- "$0" --inside "$@"

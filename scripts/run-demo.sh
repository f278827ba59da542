#!/bin/sh
# Installs what is missing, builds, and runs the console on a simulated fleet,
# all on loopback: an FTP staging server (pyftpdlib, anonymous write access to
# a temporary directory), the fleet of resources/simfleet-example.ini, and a
# demo settings file pointing the console at both. Everything started here
# stops when the console exits; the fleet's and the FTP server's logs stay in
# a folder of their own, named at the start and again at the exit. Arguments
# go to the console.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'MSG'
run-demo.sh: no display (DISPLAY and WAYLAND_DISPLAY are not set), so the
console cannot show its window. Run the demo on a virtual X display:

    xvfb-run -a scripts/run-demo.sh

(scripts/install-deps.sh has installed xvfb-run), or with no window at all:

    QT_QPA_PLATFORM=offscreen scripts/run-demo.sh
MSG
    exit 1
fi

PYTHON=/usr/bin/python3
work="$(mktemp -d "${TMPDIR:-/tmp}/fleetwarden-demo.XXXXXX")"
logs="$(mktemp -d "${TMPDIR:-/tmp}/fleetwarden-demo-logs.XXXXXX")"
echo "run-demo.sh: the fleet's and the FTP server's logs go to $logs"
pids=""
cleanup() {
    for pid in $pids; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $pids; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
    echo "run-demo.sh: the fleet's and the FTP server's logs are kept in $logs"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Free high ports on loopback, chosen by the system.
free_port() {
    "$PYTHON" -c 'import socket, sys
kind = socket.SOCK_STREAM if sys.argv[1] == "tcp" else socket.SOCK_DGRAM
s = socket.socket(socket.AF_INET, kind)
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])' "$1"
}
snmp_port="$(free_port udp)"
trap_port="$(free_port udp)"
ftp_port="$(free_port tcp)"

mkdir -p "$work/ftp" "$work/configs" "$work/firmware"
# Something to download: a stored configuration and a firmware directory.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Session]\r\n"Server"="apps2.fleet.example"\r\n"AutoConnect"=dword:00000001\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Display]\r\n"Resolution"="1920x1080"\r\n"ColourDepth"=dword:00000020\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Security]\r\n"AdminPassword"="site-Adm-2024"\r\n' \
    > "$work/configs/terminal.reg"
printf '[Image]\nImageFileName=fw-5.3.0100.bin\nBuildNumber=5.3.0100\n' > "$work/firmware/params.ini"
printf 'demo firmware image\n' > "$work/firmware/fw-5.3.0100.bin"
printf 'demo bootstrap\n' > "$work/firmware/bootstrap.exe"

# The demo settings: the shipped file with the loopback fleet's values.
settings="$work/fleetwarden.ini"
sed -e "s|^DiscoverIPSubNet=.*|DiscoverIPSubNet=127.0.0|" \
    -e "s|^DiscoverMethod=.*|DiscoverMethod=SNMP|" \
    -e "s|^DiscoverRangeLow=.*|DiscoverRangeLow=1|" \
    -e "s|^DiscoverRangeHigh=.*|DiscoverRangeHigh=15|" \
    -e "s|^FTPServerName=.*|FTPServerName=127.0.0.1|" \
    -e "s|^FTPServerPath=.*|FTPServerPath=/|" \
    -e "s|^FTPLogin=.*|FTPLogin=|" \
    -e "s|^DnloadPath=.*|DnloadPath=$work/configs|" \
    -e "s|^DnloadFWPath=.*|DnloadFWPath=$work/firmware|" \
    -e "s|^;SnmpPort=.*|SnmpPort=$snmp_port|" \
    -e "s|^;TrapPort=.*|TrapPort=$trap_port|" \
    -e "s|^;FTPServerPort=.*|FTPServerPort=$ftp_port|" \
    -e "s|^;LocalHostIP=.*|LocalHostIP=127.0.0.1|" \
    -e "s|^;TransferParallel=.*|TransferParallel=16|" \
    -e "s|^;RefreshParallel=.*|RefreshParallel=16|" \
    resources/fleetwarden.ini > "$settings"
chmod 600 "$settings"
# The template beside it offers the exclusions; a download cannot filter without it.
cp resources/fleetwarden.tpl "$work/fleetwarden.tpl"
# The range scan stays on loopback. (The broadcast method would also send the
# limited broadcast 255.255.255.255 onto this machine's network; try it inside
# scripts/netns-run.sh instead.)

"$PYTHON" -m pyftpdlib -i 127.0.0.1 -p "$ftp_port" -d "$work/ftp" -w > "$logs/ftp.log" 2>&1 &
pids="$pids $!"

broadcast="--no-broadcast"
if "$PYTHON" -c 'import socket; socket.socket(socket.AF_INET, socket.SOCK_DGRAM).bind(("0.0.0.0", 2343))' 2>/dev/null; then
    broadcast="--broadcast-port 2343"
fi
# shellcheck disable=SC2086
build/bin/fleetwarden-simfleet --fleet resources/simfleet-example.ini --settings "$settings" \
    --snmp-port "$snmp_port" --trap-port "$trap_port" --ftp-port "$ftp_port" $broadcast \
    --trap-dest 127.0.0.1 --cold-start --cold-start-delay 30 --state-dir "$work/terminals" \
    --verbose > "$logs/fleet.log" 2>&1 &
pids="$pids $!"

ready=no
for _ in $(seq 1 100); do
    if grep -q "terminals ready" "$logs/fleet.log" 2>/dev/null && grep -q "starting FTP server" "$logs/ftp.log"; then
        ready=yes
        break
    fi
    sleep 0.1
done
if [ "$ready" != yes ]; then
    echo "run-demo.sh: the fleet or the FTP server did not start:" >&2
    cat "$logs/fleet.log" "$logs/ftp.log" >&2
    exit 1
fi

cat <<MSG
Fleetwarden demo
  settings file   $settings
  terminals       127.0.0.2 - 127.0.0.15, SNMP port $snmp_port (resources/simfleet-example.ini)
  their files     $work/terminals/ADDRESS/ (each terminal's configuration, terminal.reg)
  firmware        $work/firmware (params.ini naming fw-5.3.0100.bin, bootstrap.exe): Download Firmware
  traps           to 127.0.0.1 port $trap_port (the terminals announce a cold start after 30 s, time enough to discover them first)
  FTP server      127.0.0.1 port $ftp_port, anonymous, directory $work/ftp
  logs            $logs/fleet.log, $logs/ftp.log (kept after the demo)
Use Discover to find the fleet (subnet 127.0.0, hosts 1 to 15); Refresh reads
16 terminals at once (RefreshParallel=16).
Upload Configuration brings a terminal's configuration into $work/configs
(TRAINING-01 never reports its outcome: that upload times out after 60 s);
Ctrl+Shift+S opens Submit Upload or Download for the terminal selected last.
Utilities / Upload / Download / Download Configuration sends $work/configs/terminal.reg,
less the exclusions chosen, to the terminals selected; the Trap Monitor shows
each terminal's outcome, and the files they took are under $work/terminals/.
MSG
status=0
build/bin/fleetwarden --settings "$settings" "$@" || status=$?
exit "$status"

#!/usr/bin/env bash
# The demo: four simulated receivers (tessaro-rxsim) and Tessaro managing their twelve channels,
# all inside a private network namespace, so that nothing leaves the machine.
#
# With a display, Tessaro opens for you to use: choose Connect, then double-click the rows. The
# simulator stops when you close Tessaro. Without one (or with DEMO_HEADLESS=1), a driver runs
# the real main window under Xvfb through Connect, a tile per channel, Sync Tx, the settings and
# the about window, then a low battery, an RF loss and a channel lost and restored, a few seconds
# of RF history, a band scan, a single band setup and a compatibility setup of all channels with
# Assign all, and leaves screenshots in demo-out/shots/ (the show's events in
# demo-out/Events.log); those the user's guide shows are copied into docs/images/.
#
# DEMO_BUILD_DIR (default build) and DEMO_OUT (default demo-out) choose other folders.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build=${DEMO_BUILD_DIR:-$repo/build}
out=${DEMO_OUT:-$repo/demo-out}
export PATH=$PATH:/usr/sbin:/sbin

fail() {
  echo "demo: $*" >&2
  exit 1
}

prepare() {
  bash tools/setup.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$(nproc)" --target tessaro tessaro-rxsim tessaro-demo tessaro-webshot
  rm -rf "$out"
  mkdir -p "$out/shots"
  # demo-out is a portable folder: the copies keep Config.ini and their logs there, never in
  # the operator's own settings folder.
  cp "$build/SRC/tessaro" "$build/tools/demo/tessaro-demo" "$out/"
  touch "$out/portable"
}

# Tessaro binds UDP port 1000; inside the namespace that needs no privilege of the host.
enter_namespace() {
  if [ "$(id -u)" -eq 0 ]; then
    exec unshare -n bash "$0" --in-namespace
  fi
  if unshare -Urn true 2>/dev/null; then
    exec unshare -Urn bash "$0" --in-namespace
  fi
  cat >&2 <<MSG
demo: no private network namespace can be made here (neither as root nor with unshare -Urn).
Tessaro sends from UDP port 1000, which needs root on Linux. Either run the demo as root:
    sudo bash tools/demo.sh
or grant the port to the demo's copy and run the two programs yourself:
    sudo setcap cap_net_bind_service=+ep $out/tessaro
    $build/tools/rxsim/tessaro-rxsim &      # receivers at 127.0.0.2..5:5000
    $out/tessaro                            # then choose Connect
MSG
  exit 1
}

# The show's episodes for the watch: receiver 4's batteries run down, receiver 3 loses its RF and
# receiver 2 falls silent for a while, each well after the first steps are done.
start_simulator() {
  "$build/tools/rxsim/tessaro-rxsim" --pty --battery-empty 4@20 --rf-loss 3@22-80 --silence 2@25-45 \
    >"$out/rxsim.log" 2>"$out/rxsim.err" &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    grep -q '^READY ' "$out/rxsim.log" && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "the simulator did not get ready: $(cat "$out/rxsim.err")"
}

# One record per simulated channel, from the simulator's RECEIVER lines; names go in GBK.
write_config() {
  local re='^RECEIVER rxid=([0-9]+) ip=([0-9.]+) port=[0-9]+ channels=([0-9]+) start=([0-9.]+) '
  re+='first=([0-9]+) last=([0-9]+) band=(.) hw=[^ ]+ sw=[^ ]+ name="(.*)" busy=[^ ]+$'
  local lines=() n=0 line ch
  while IFS= read -r line; do
    [[ $line =~ $re ]] || continue
    local rxid=${BASH_REMATCH[1]} ip=${BASH_REMATCH[2]} channels=${BASH_REMATCH[3]} start=${BASH_REMATCH[4]}
    local first=${BASH_REMATCH[5]} last=${BASH_REMATCH[6]} band=${BASH_REMATCH[7]} name=${BASH_REMATCH[8]}
    for ((ch = 1; ch <= channels; ch++)); do
      lines+=("IP$n=$ip" "RXID$n=$rxid" "DevIdx$n=$ch" "Band$n=$band" "Channel$n=$first"
              "StartChannel$n=$first" "MaxChannel$n=$((last - first + 1))" "StartFreq$n=$start"
              "Freq$n=$start" "Name$n=$name")
      n=$((n + 1))
    done
  done <"$out/rxsim.log"
  [ "$n" -gt 0 ] || fail "the simulator announced no receiver"
  # The remote view serves the page inside the namespace; the code is made afresh for each demo.
  remote_code=$(head -c 32 /dev/urandom | base64 | tr '+/' '-_' | tr -d '=\n')
  printf '%s\r\n' "[Public]" "ConnectType=0" "UartPort=1" "UartRate=9600" "UartDelayTime=30" \
    "[History]" "DevCnt=$n" "${lines[@]}" \
    "[Remote]" "Enabled=1" "Address=127.0.0.1" "Port=8080" "Code=$remote_code" | iconv -f UTF-8 -t GBK >"$out/Config.ini"
  echo "demo: $n channels in $out/Config.ini"
}

run_inside() {
  ip link set lo up
  ip route add default dev lo
  start_simulator
  write_config
  # Serial port 1 is the simulator's bus, as an operator would link a real adapter.
  local pty
  pty=$(sed -n 's/^READY .*serial=\([^ ]*\).*/\1/p' "$out/rxsim.log")
  [ -n "$pty" ] && ln -sf "$pty" "$out/COM1"

  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${DEMO_HEADLESS:-}" ]; then
    echo "demo: Tessaro is open; choose Connect, double-click rows for tiles. Close it to end the demo."
    "$out/tessaro"
    return
  fi
  command -v xvfb-run >/dev/null || fail "xvfb-run is missing (package xvfb): run tools/setup.sh as root"
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  # While the driver works, a headless chromium opens the remote view and photographs it once
  # twelve tiles are live.
  "$build/tools/webshot/tessaro-webshot" "http://127.0.0.1:8080/?code=$remote_code" "$out/shots/remote-page.png" 12 \
    >"$out/webshot.log" 2>&1 &
  local webshot=$!
  xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" "$out/tessaro-demo" "$out/shots"
  wait "$webshot" || echo "demo: the remote view's screenshot is missing or early: $(cat "$out/webshot.log")" >&2
  copy_guide_pictures
}

# The user's guide (docs/) shows the program as it is: its pictures are this run's screenshots.
copy_guide_pictures() {
  local shot
  for shot in main-window tile message-box settings tile-low-battery tile-rf-loss watch-lost rf-history \
    scan-rf single-setup set-freq compatibility-scans assign-proposal assign-result timeline; do
    cp "$out/shots/$shot.png" "$repo/docs/images/$shot.png"
  done
  echo "demo: the user's guide pictures in docs/images/ are this run's"
}

if [ "${1:-}" = "--in-namespace" ]; then
  run_inside
else
  prepare
  enter_namespace
fi

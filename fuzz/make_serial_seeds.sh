#!/usr/bin/env bash
# Makes the seed inputs of fuzz_serial_replies from what the simulator really
# sends: a recall and a verify of an example run against orvel-devsim with its
# packet log on, and every reply it wrote is put back on the wire as bytes.
# Each seed's first byte is the read size the target splits the stream by.
#   bash fuzz/make_serial_seeds.sh [BUILD_DIR]   (default build-test)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BIN="${1:-$ROOT/build-test}/bin"
OUT="$ROOT/fuzz/seeds/serial_replies"
WORK="$(mktemp -d)"
trap 'kill "$SIM" 2>/dev/null || true; rm -rf "$WORK"' EXIT

"$BIN/orvel-devsim" --log "$WORK/log.jsonl" > "$WORK/path" 2> "$WORK/sim.err" &
SIM=$!
for _ in $(seq 50); do [ -s "$WORK/path" ] && break; sleep 0.1; done
PORT="$(head -1 "$WORK/path")"
[ -n "$PORT" ] || { echo "the simulator did not start: $(cat "$WORK/sim.err")" >&2; exit 1; }
example="$ROOT/examples/crossover-80Hz-2k5Hz.cfg"
HOME="$WORK" ORVEL_SERIAL_PORTS="$PORT" "$BIN/orvel-cli" recall "$example" --port "$PORT" > /dev/null
HOME="$WORK" ORVEL_SERIAL_PORTS="$PORT" "$BIN/orvel-cli" verify "$example" --port "$PORT" > /dev/null
kill "$SIM"
wait "$SIM" 2>/dev/null || true

mkdir -p "$OUT"
python3 - "$WORK/log.jsonl" "$OUT" <<'EOF'
import json, struct, sys
log, out = sys.argv[1], sys.argv[2]
replies = []
for line in open(log):
    entry = json.loads(line)
    if entry.get("dir") == "tx":
        payload = bytes.fromhex(entry["payload"])
        replies.append((entry["type"], bytes([0xA5, 0xA5, 0, entry["type"]]) + struct.pack("<I", len(payload)) + payload))
stream = b"".join(packet for _, packet in replies)
sync = b"".join(packet for kind, packet in replies if kind in (0, 3, 7, 9))
seeds = {
    "session-whole-reads.bin": b"\xff" + stream,
    "session-byte-reads.bin": b"\x00" + stream,
    "read-back-odd-reads.bin": b"\x06" + sync,
}
for name, data in seeds.items():
    with open(f"{out}/{name}", "wb") as f:
        f.write(data)
    print(f"{out}/{name}: {len(data)} bytes")
EOF

#!/usr/bin/env bash
# Runs docs/ansible/flash-fleet.yml unchanged, both stations on this machine through
# Ansible's local connection, against four simulated instruments on 127.0.0.1-127.0.0.4
# (the fourth answers the header wrongly), and checks what a site would rely on: the
# playbook fails for the one station only, every event stream and fleet-results.json
# reach the controller, and the healthy instruments hold the file's image.
#
#   ansible-fleet.sh ZORFLASH_SIM ZORFLASH_CLI PLAYBOOK_DIR
set -uo pipefail

sim="$1" cli="$2" playbooks="$3"
command -v ansible-playbook >/dev/null || { echo "ansible-playbook is not installed: skipped"; exit 77; }

work="$(mktemp -d /tmp/zorflash-ansible-XXXXXX)"
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- simulator"; cat "$work/sim.out"; echo "--- playbook"; cat "$work/playbook.out"; exit 1; }

"$sim" make-sample --model RT71 --kind MAIN --records 500 "$work/f1.R71" >/dev/null || fail "make-sample"
"$sim" serve --tcp 127.0.0.1-127.0.0.4:0 --port-file "$work/port" --out "$work/images" --max-updates 4 \
    --fault 3:header:wrong >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 500); do [ -s "$work/port" ] && break; sleep 0.01; done
port="$(cat "$work/port" 2>/dev/null)"
[ -n "$port" ] || fail "the simulator did not start"

# Ansible keeps its temporary files and settings out of the home directory, and reads no
# configuration of this machine's but an empty one.
export LC_ALL=C.UTF-8
printf '[defaults]\n' >"$work/ansible.cfg"
export ANSIBLE_LOCAL_TEMP="$work/ansible-tmp" ANSIBLE_REMOTE_TEMP="$work/ansible-tmp" HOME="$work" \
       ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_CONFIG="$work/ansible.cfg" \
       ANSIBLE_STDOUT_CALLBACK=default ANSIBLE_FORKS=4
ansible-playbook -i "$playbooks/inventory.yml" "$playbooks/flash-fleet.yml" \
    -e "zorflash_cli=$cli" -e "zorflash_port=$port" -e "zorflash_work=$work/stations" \
    -e "zorflash_results=$work/results" -e "{\"zorflash_file_sources\": [\"$work/f1.R71\"]}" \
    >"$work/playbook.out" 2>&1
rc=$?
# 2: a host failed. Anything else means the playbook itself broke or everything passed.
[ "$rc" -eq 2 ] || fail "ansible-playbook exited $rc, expected 2 (station-line2 failed)"
grep -q "station-line1 *: .*failed=0" "$work/playbook.out" || fail "station-line1 did not pass"
grep -q "station-line2 *: .*failed=1" "$work/playbook.out" || fail "station-line2 did not fail"

wait "$sim_pid"
sim_pid=""

python3 - "$work" "$port" <<'PY' || fail "the collected results"
import json, pathlib, re, sys
work, port = pathlib.Path(sys.argv[1]), sys.argv[2]
results = work / "results"
fleet = json.loads((results / "fleet-results.json").read_text())
assert {s: v["rc"] for s, v in fleet.items()} == {"station-line1": 0, "station-line2": 1}, fleet
for station, targets in {"station-line1": (1, 2), "station-line2": (3, 4)}.items():
    events = [json.loads(line) for line in (results / f"{station}.ndjson").read_text().splitlines()]
    assert events and events[-1] == fleet[station]["summary"], station
    seen = {e["target"] for e in events[:-1] if "target" in e}
    assert seen == {f"127.0.0.{t}:{port}" for t in targets}, (station, seen)
# The simulator's verdicts, by instrument: 0..2 took the file whole, 3 refused the header.
lines = (work / "sim.out").read_text().splitlines()
verdicts = {int(m.group(1)): l for l in lines if (m := re.search(r" instrument=(\d+) ", l)) and l.startswith("update ")}
assert sorted(verdicts) == [0, 1, 2, 3], lines
for i in range(3):
    assert verdicts[i].endswith("verdict=OK"), verdicts[i]
assert "verdict=FAULT: wrong reply at header" in verdicts[3], verdicts[3]
PY
for image in $(grep -E "instrument=[012] .*verdict=OK" "$work/sim.out" | sed -E 's/.* image=([^ ]+) .*/\1/'); do
    "$sim" verify "$image" "$work/f1.R71" >/dev/null || fail "image $image differs from the file"
done
echo "the playbook updated station-line1, failed station-line2 and collected both"

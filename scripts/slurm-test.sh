#!/usr/bin/env bash
# Grades a small class on a real single-node Slurm cluster with the job script of
# `orvimet-cli init --slurm 4` (four array tasks, then the merge that waits for them) and checks
# that the merged results equal one grading of the whole class.
#
#   scripts/slurm-test.sh BUILD_DIR
#
# Installs Slurm and munge when they are missing, starts munged, slurmctld and slurmd for this
# machine alone (own configuration, ports, key and spool in a scratch folder; nothing of the
# system's is used) and stops them when it ends, however it ends. Exit status 0: equal; 1: not
# equal, or the grading failed; 77: Slurm cannot run here (not root, no packages).
set -euo pipefail

skip() {
    echo "SKIP: $*" >&2
    exit 77
}

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$build/orvimet-cli
[ -x "$cli" ] || { echo "$0: no orvimet-cli in $build" >&2; exit 2; }

# The daemons run as root: Slurm takes root's word for the users of the jobs.
[ "$(id -u)" -eq 0 ] || skip "Slurm's daemons must be started as root"
source "$root/scripts/deps.sh"
orvimet_install_packages "${ORVIMET_SLURM_TEST_PACKAGES[@]}" >&2 \
    || skip "cannot install ${ORVIMET_SLURM_TEST_PACKAGES[*]}"

work=$(mktemp -d /tmp/orvimet-slurm-XXXXXX)
pids=()
stop() {
    local status=$?
    # Every daemon started here, by its own process id, whatever failed on the way.
    local pid
    # Jobs still running would outlive slurmd in their slurmstepd: cancelled first.
    [ ${#pids[@]} -lt 3 ] || scancel --quiet --user="$(id -un)" 2>/dev/null || true
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    if [ "$status" -ne 0 ]; then
        for log in "$work"/*.log "$work"/run/slurm-*.out; do
            [ -f "$log" ] && { echo "== $log"; tail -n 30 "$log"; } >&2
        done
    fi
    rm -rf "$work"
    exit "$status"
}
trap stop EXIT
trap 'exit 1' INT TERM

# munge: a key of this test's own and a socket no other munged uses.
chmod 0700 "$work"
mkdir -p "$work/munge" "$work/state" "$work/spool" "$work/run"
mungekey --create --keyfile="$work/munge/munge.key" 2>/dev/null \
    || dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 0600 "$work/munge/munge.key"
socket=$work/munge/munge.socket
munged --foreground --force --key-file="$work/munge/munge.key" --socket="$socket" \
    --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/munged.seed" \
    --log-file="$work/munged.log" 2>>"$work/munged.log" &
pids+=($!)

# Ports of their own, so that a Slurm the machine may run is neither used nor disturbed.
host=$(hostname -s)
port=$((20000 + RANDOM % 20000))
export SLURM_CONF=$work/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=orvimet-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
MailProg=/bin/true
# A task that fails must not leave the merge waiting for ever.
DependencyParameters=kill_invalid_depend
# The array's four tasks of two processors each run at once whatever this machine has.
SlurmdParameters=config_overrides
NodeName=$host NodeAddr=127.0.0.1 CPUs=8 State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -D -i -f "$SLURM_CONF" >>"$work/slurmctld.log" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >>"$work/slurmd.log" 2>&1 &
pids+=($!)

# A condition with a deadline: the controller answers and the node has registered.
ready=
for _ in $(seq 150); do
    if [ "$(sinfo -h -n "$host" -o %t 2>/dev/null)" = idle ]; then
        ready=1
        break
    fi
    for pid in "${pids[@]}"; do
        kill -0 "$pid" 2>/dev/null || skip "a Slurm daemon ended at its start (see its log)"
    done
    sleep 0.2
done
[ -n "$ready" ] || skip "the Slurm node did not become idle within 30 s"

# The class: correct programs, two with a fault each and one that does not build.
class=$work/run/class
examples=$root/examples
student() {
    local folder=$class/$1 fault=$2
    mkdir -p "$folder"
    cp "$examples"/{queue_main.cpp,queue.h,exercise.h,fault.h} "$folder"/
    { [ -z "$fault" ] || echo "#define ORVIMET_FAULT \"$fault\""; cat "$examples/queue.cpp"; } \
        >"$folder/queue.cpp"
}
student anna ""
student bo ""
student chen dequeue_from_back
student dana ""
student emil ring_of_128
student fang ""
mkdir -p "$class/gus" && echo 'int main( {' >"$class/gus/queue.cpp"

cd "$work/run"
export XDG_CACHE_HOME=$work/cache
export PATH=$build:$PATH
options=(--exercise queue --cases extended --timeout 5 --no-cache)
"$cli" init --slurm 4 grade.sbatch >/dev/null
# No seed given: the job script must choose one for all four tasks, or the merge refuses them.
out=$(./grade.sbatch class merged "${options[@]}")
echo "$out"
merge=${out##* job }
# Waiting for the merge without polling: a job that runs once the merge has ended, either way.
sbatch --quiet --wait --dependency=afterany:"$merge" --wrap true
state=$(scontrol -o show job "$merge" | grep -o 'JobState=[A-Z_]*' || true)
[ "$state" = JobState=COMPLETED ] || { echo "merge job $merge: $state" >&2; exit 1; }
seed=$(jq .cases.seed merged/results.json)
"$cli" grade "${options[@]}" --seed "$seed" --quiet --out whole class >/dev/null || [ $? -eq 1 ]

# What may differ between two gradings of the same class: when they ran (date) and how long each
# run took (seconds); and one run says it is part 1 of 1 (shard), which a merge leaves out.
comparable() {
    jq -S 'del(.date, .shard) | walk(if type == "object" then del(.seconds) else . end)' "$1"
}
if ! diff <(comparable whole/results.json) <(comparable merged/results.json) >&2; then
    echo "FAIL: the merged shards' results.json differs from one run of the whole class" >&2
    exit 1
fi
diff whole/grades.csv merged/grades.csv >&2 || { echo "FAIL: grades.csv differs" >&2; exit 1; }
echo "PASS: 4 Slurm array tasks merged equal one run of the whole class"

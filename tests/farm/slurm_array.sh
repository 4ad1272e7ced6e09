#!/usr/bin/env bash
# The documented Slurm job array on a one-node cluster of this machine: its tasks draw the pieces,
# a join waits for them with afterok. One task is made to fail: it shows as failed, the join does
# not run, a join by hand refuses the gap, and rerunning only that task (--array=2) completes the
# show, which then decodes to exactly the one-run capture.
source "$(dirname "$0")/farm_lib.sh"
for command in sbatch squeue scontrol scancel; do
  require_command "$command" slurm-wlm
done

CLUSTER=$WORK/cluster
SUBMIT=$WORK/submit  # where sbatch runs, so where the tasks' output files go
mkdir -p "$SUBMIT"
trap '"$SOURCE_DIR/scripts/local-cluster.sh" stop "$CLUSTER"; rm -rf "$WORK"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
"$SOURCE_DIR/scripts/local-cluster.sh" start "$CLUSTER" $$  # stopped even if this test is killed
export SLURM_CONF=$CLUSTER/slurm.conf

pieces_script=$(for_this_test "$(doc_block '#SBATCH --array')")
pieces_script=$(substitute "$pieces_script" "--array=1-64" "--array=1-3")
printf '%s\n' "$pieces_script" >"$SUBMIT/pieces.sh"
join_command=$(documented_join)

submit() {
  (cd "$SUBMIT" && sbatch --parsable "$@") | cut -d';' -f1
}

submit_join_after() {
  submit --dependency=afterok:"$1" --chdir="$SHARED" --wrap="$join_command"
}

# Waits until no task of job $1 is pending or running.
wait_for_job() {
  local deadline=$((SECONDS + 120))
  while [ -n "$(squeue -h -j "$1" -o %i)" ]; do
    [ $SECONDS -lt $deadline ] || fail "job $1 still queued after 120 s: $(squeue -j "$1")"
    sleep 0.2
  done
}

job_field() {
  scontrol show job "$1" | grep -o "\b$2=[^ ]*" | head -n 1 | cut -d= -f2
}

capture_reference

# The second piece cannot be written: a folder stands where it goes.
mkdir "$SHARED/show.piece2.mp4"
array=$(submit pieces.sh)
join=$(submit_join_after "$array")
wait_for_job "$array"
for task in 1 3; do
  [ "$(job_field "${array}_$task" JobState)" = COMPLETED ] ||
    fail "task $task: $(scontrol show job "${array}_$task"; cat "$SUBMIT/slurm-${array}_$task.out")"
done
[ "$(job_field "${array}_2" JobState)" = FAILED ] || fail "task 2 did not fail: $(scontrol show job "${array}_2")"
[ "$(job_field "${array}_2" ExitCode)" = 1:0 ] || fail "task 2's exit code: $(job_field "${array}_2" ExitCode)"
grep -q "cannot write '[^']*show.piece2.mp4'" "$SUBMIT/slurm-${array}_2.out" ||
  fail "task 2's output file does not say why: $(cat "$SUBMIT/slurm-${array}_2.out")"

# afterok keeps the join from running once a task has failed.
deadline=$((SECONDS + 30))
until [ "$(job_field "$join" Reason)" = DependencyNeverSatisfied ]; do
  [ $SECONDS -lt $deadline ] || fail "the join is not held back: $(scontrol show job "$join")"
  sleep 0.2
done
[ "$(job_field "$join" JobState)" = PENDING ] || fail "the join left the queue: $(scontrol show job "$join")"
scancel "$join"
[ ! -e "$SHARED/show.mp4" ] || fail "a joined file was written although a piece failed"

# Joined by hand, the pieces there are refused, naming the pieces either side of the gap.
rmdir "$SHARED/show.piece2.mp4"
set +e
refusal=$(cd "$SHARED" && eval "$join_command" 2>&1)
status=$?
set -e
[ $status -eq 2 ] || fail "the join of pieces 1 and 3 ended with status $status: $refusal"
grep -q "gap .* between '[^']*show.piece1.mp4' .* and '[^']*show.piece3.mp4'" <<<"$refusal" ||
  fail "the join's refusal does not name the gap's pieces: $refusal"
[ ! -e "$SHARED/show.mp4" ] || fail "the refused join wrote a file"

# Only the failed piece again, then the join after it.
rerun=$(submit --array=2 pieces.sh)
join=$(submit_join_after "$rerun")
wait_for_job "$rerun"
wait_for_job "$join"
[ "$(job_field "${rerun}_2" JobState)" = COMPLETED ] || fail "the rerun task: $(cat "$SUBMIT/slurm-${rerun}_2.out")"
[ "$(job_field "$join" JobState)" = COMPLETED ] || fail "the join: $(cat "$SUBMIT/slurm-$join.out")"
expect_same_as_reference "$SHARED/show.mp4"
echo "PASS: the job array's pieces, one rerun, joined after them, decode to the one-run capture"

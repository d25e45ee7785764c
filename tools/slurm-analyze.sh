#!/usr/bin/env bash
# Runs one 'kvadra analyze' experiment over many pictures on a Slurm cluster: a job array of N
# tasks, task K running shard K/N (its pictures on all the processors Slurm gives it), and a
# merge job that starts when every task has succeeded and writes result.csv and result.json.
#
#   tools/slurm-analyze.sh [--dry-run | --local] -n N -o OUTDIR [-c CPUS] [-k KVADRA] [-t TIME] \
#       -- PICTURES... --corrupt ... --sweep ... --restore ... --seed S
#
# Everything after -- goes to 'kvadra analyze' as it is (it must include --seed: every shard has
# to draw the noise of the same experiment). OUTDIR must be on a file system the nodes share.
#   --dry-run  writes OUTDIR/task.sh and OUTDIR/merge.sh and prints the sbatch commands, submits nothing
#   --local    runs the tasks one after another on this machine, then the merge, as Slurm would
set -euo pipefail

usage() { sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }

mode=submit shards="" out="" cpus=4 time_limit="04:00:00"
kvadra="$(cd "$(dirname "$0")/.." && pwd)/build/bin/kvadra"
while [ $# -gt 0 ]; do
  case "$1" in
    --dry-run) mode=dry; shift ;;
    --local) mode=local; shift ;;
    -n) shards="$2"; shift 2 ;;
    -o) out="$2"; shift 2 ;;
    -c) cpus="$2"; shift 2 ;;
    -k) kvadra="$2"; shift 2 ;;
    -t) time_limit="$2"; shift 2 ;;
    --) shift; break ;;
    -h|--help) usage ;;
    *) echo "slurm-analyze.sh: unknown option '$1'" >&2; usage ;;
  esac
done
if [ -z "$shards" ] || [ -z "$out" ] || [ $# -eq 0 ]; then usage; fi
[[ "$shards" =~ ^[1-9][0-9]*$ ]] || { echo "slurm-analyze.sh: -n needs a whole number > 0" >&2; exit 2; }
case " $* " in *" --seed "*) ;; *) echo "slurm-analyze.sh: the analyze options need --seed N" >&2; exit 2 ;; esac
[ -x "$kvadra" ] || { echo "slurm-analyze.sh: no kvadra program at '$kvadra' (use -k)" >&2; exit 2; }

mkdir -p "$out"
out="$(cd "$out" && pwd)"
# Picture paths relative to here become absolute: the tasks run in OUTDIR.
args=()
for a in "$@"; do
  if [ -e "$a" ] && [[ "$a" != /* ]]; then args+=("$PWD/$a"); else args+=("$a"); fi
done

# The task of array index K; Slurm sets SLURM_ARRAY_TASK_ID and SLURM_CPUS_PER_TASK.
{
  echo '#!/usr/bin/env bash'
  echo 'set -euo pipefail'
  echo "cd $(printf '%q' "$out")"
  printf 'exec %q analyze' "$kvadra"
  printf ' %q' "${args[@]}"
  # shellcheck disable=SC2016 # expanded when the task runs
  printf ' --shard "${SLURM_ARRAY_TASK_ID}/%s" --jobs "${SLURM_CPUS_PER_TASK:-1}"' "$shards"
  # shellcheck disable=SC2016
  printf ' --json "part-${SLURM_ARRAY_TASK_ID}.json" >"table-${SLURM_ARRAY_TASK_ID}.txt"\n'
} >"$out/task.sh"
{
  echo '#!/usr/bin/env bash'
  echo 'set -euo pipefail'
  echo "cd $(printf '%q' "$out")"
  printf 'exec %q merge' "$kvadra"
  for ((k = 0; k < shards; k++)); do printf ' part-%d.json' "$k"; done
  printf ' --csv result.csv --json result.json >result.txt\n'
} >"$out/merge.sh"
chmod +x "$out/task.sh" "$out/merge.sh"

array=(sbatch --parsable --job-name=kvadra-analyze --array="0-$((shards - 1))" --cpus-per-task="$cpus"
  --time="$time_limit" --output="$out/shard-%a.log" "$out/task.sh")
merge=(sbatch --parsable --job-name=kvadra-merge --dependency="afterok:JOBID" --time=00:10:00
  --output="$out/merge.log" "$out/merge.sh")

case "$mode" in
  dry)
    echo "# would submit (JOBID is the array's job id):"
    printf '%q ' "${array[@]}"; echo
    printf '%q ' "${merge[@]}"; echo
    echo "# task script: $out/task.sh"
    cat "$out/task.sh"
    ;;
  local)
    for ((k = 0; k < shards; k++)); do
      echo "slurm-analyze.sh: task $k of $shards" >&2
      SLURM_ARRAY_TASK_ID=$k SLURM_CPUS_PER_TASK=$cpus bash "$out/task.sh" 2>"$out/shard-$k.log"
    done
    bash "$out/merge.sh" 2>"$out/merge.log"
    echo "slurm-analyze.sh: $out/result.csv" >&2
    ;;
  submit)
    command -v sbatch >/dev/null || { echo "slurm-analyze.sh: sbatch not found; is this a Slurm login node?" >&2; exit 1; }
    jobid="$("${array[@]}")"
    jobid="${jobid%%;*}"
    merge[3]="--dependency=afterok:$jobid"
    merge_id="$("${merge[@]}")"
    echo "submitted array job $jobid ($shards tasks) and merge job ${merge_id%%;*}; results in $out/result.csv"
    ;;
esac

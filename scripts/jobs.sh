# Sourced by run.sh and test.sh: how many jobs run at once.
#   vt_parse_jobs <script name> "$@"
# reads the leading options -j N, -jN and --jobs=N of the script's arguments. Without them
# CMAKE_BUILD_PARALLEL_LEVEL counts, and without that vt_jobs stays empty: Ninja then runs as many
# compile jobs as the machine has cores + 2. Sets vt_jobs and vt_jobs_shift (the number of
# arguments the options took, for the caller's shift); a value that is not a positive whole
# number ends the script with status 2 and a message.
vt_parse_jobs() {
  local script="$1"
  shift
  vt_jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-}"
  vt_jobs_shift=0
  while [ $# -gt 0 ]; do
    case "$1" in
      -j)
        if [ $# -lt 2 ]; then
          echo "$script: -j needs a number" >&2
          exit 2
        fi
        vt_jobs="$2"; shift 2; vt_jobs_shift=$((vt_jobs_shift + 2)) ;;
      -j*) vt_jobs="${1#-j}"; shift; vt_jobs_shift=$((vt_jobs_shift + 1)) ;;
      --jobs=*) vt_jobs="${1#--jobs=}"; shift; vt_jobs_shift=$((vt_jobs_shift + 1)) ;;
      *) break ;;
    esac
  done
  if [ -n "$vt_jobs" ] && ! [[ "$vt_jobs" =~ ^[1-9][0-9]*$ ]]; then
    echo "$script: -j needs a positive number, not '$vt_jobs'" >&2
    exit 2
  fi
}

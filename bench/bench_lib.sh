# Shared by the bench scripts (sourced): timing of one command and the engine copy.

# measure WORK LABEL COMMAND...: runs the command under /usr/bin/time; sets WALL, CPU (user +
# system seconds) and PEAK (kB). Its output goes to WORK/LABEL.log.
measure() {
  local work=$1 label=$2; shift 2
  local stats=$work/$label.time
  local status=0
  /usr/bin/time -f "%e %U %S %M" -o "$stats" "$@" >"$work/$label.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || echo "note: $label exited with $status (log: $work/$label.log)" >&2
  read -r WALL USER SYS PEAK < <(tail -n 1 "$stats")
  CPU=$(echo "$USER + $SYS" | bc)
}

# engine_copy STAGE DIR: the engine with its data files and plug-ins in DIR.
engine_copy() {
  mkdir -p "$2/plugin"
  cp "$1/trivox_free" "$1/vfcc.dat" "$1/muxer.dat" "$2/"
  cp "$1"/plugin/*.so "$2/plugin/"
}

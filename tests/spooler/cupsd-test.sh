#!/bin/bash
# The installed driver under a private cupsd: cmake --install into a scratch
# root, a daemon of its own on 127.0.0.1, queues made with lpadmin, jobs sent
# with lp. A photo prints as one full page equal to phototovelta run directly
# on it, copies reach the copies command, and a job cancelled
# while printing ends canceled without harm to the next job.
source "$(dirname "$0")/common.sh"
here=$(cd "$(dirname "$0")" && pwd)

make_work_folder
mkdir -p "$work"/{conf,state,cache,spool/tmp,log,out}

echo "# Installation"
DESTDIR="$work/root" cmake --install "$VELTA_BUILD_DIR" --component driver >"$work/install.log" ||
  die "cmake --install failed: $(cat "$work/install.log")"
installed_filter=$work/root$(cups-config --serverbin)/filter/rastertovelta
installed_ppd=$work/root/usr/share/ppd/velta/velta-k40.ppd
for f in "$installed_filter:755" "$(dirname "$installed_filter")/phototovelta:755" "$installed_ppd:644"; do
  file=${f%:*} mode=${f##*:}
  got=$(stat -c '%a %U' "$file" 2>/dev/null || echo missing)
  if [ "$got" = "$mode root" ]; then pass "installs ${file#"$work/root"} as $got"
  else fail "installs ${file#"$work/root"}" "found $got, expected $mode root"; fi
done
[ -x "$installed_filter" ] && [ -f "$installed_ppd" ] || die "the installation is incomplete"
VELTA_PPD=$installed_ppd
VELTA_FILTER=$installed_filter

make_server_bin "$work/bin" link "$installed_filter"
install -o root -g root -m 0700 "$here/throttle-backend" "$work/bin/backend/throttle"

# Starts cupsd on a free port of 127.0.0.1; sets port and cupsd_pid.
start_cupsd() {
  local attempt
  for attempt in 1 2 3; do
    port=$((20000 + RANDOM % 40000))
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then continue; fi
    cat >"$work/conf/cups-files.conf" <<CONF
ServerRoot $work/conf
ServerBin $work/bin
StateDir $work/state
CacheDir $work/cache
RequestRoot $work/spool
TempDir $work/spool/tmp
ErrorLog $work/log/error_log
AccessLog $work/log/access_log
PageLog $work/log/page_log
FileDevice Yes
SystemGroup root
User lp
Group lp
CONF
    cat >"$work/conf/cupsd.conf" <<CONF
LogLevel debug
Listen 127.0.0.1:$port
Browsing No
DefaultAuthType None
WebInterface No
JobKillDelay 10
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    cupsd -f -c "$work/conf/cupsd.conf" -s "$work/conf/cups-files.conf" \
      >"$work/log/cupsd.out" 2>&1 &
    cupsd_pid=$!
    cleanup_hooks+=("stop_cupsd")
    export CUPS_SERVER=127.0.0.1:$port
    for _ in $(seq 50); do
      if lpstat -r 2>/dev/null | grep -q 'is running'; then return 0; fi
      kill -0 "$cupsd_pid" 2>/dev/null || break
      sleep 0.2
    done
    stop_cupsd
  done
  die "cupsd did not start: $(tail -5 "$work/log/cupsd.out" "$work/log/error_log" 2>/dev/null)"
}

# Stops the daemon by its process id, within ten seconds.
stop_cupsd() {
  [ -n "${cupsd_pid:-}" ] || return 0
  kill "$cupsd_pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$cupsd_pid" 2>/dev/null || break; sleep 0.2; done
  kill -9 "$cupsd_pid" 2>/dev/null || true
  wait "$cupsd_pid" 2>/dev/null || true
  cupsd_pid=
}

# Prints the state of job $1 (pending, processing, completed, canceled, ...).
job_state() {
  # ipptool prints a table: the heading, a rule, then the value.
  ipptool -d job_id="$1" "ipp://127.0.0.1:$port/jobs" "$work/job-state.test" 2>/dev/null |
    sed -n '3s/ *$//p'
}
cat >"$work/job-state.test" <<'IPP'
{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job_id
  ATTR name requesting-user-name root
  ATTR keyword requested-attributes job-state
  STATUS successful-ok
  DISPLAY job-state
}
IPP

# Waits up to $2 seconds for job $1 to leave pending and processing; prints
# the state it reached.
wait_job() {
  local state
  for _ in $(seq $(($2 * 5))); do
    state=$(job_state "$1")
    case $state in pending|processing|pending-held|"") sleep 0.2 ;; *) echo "$state"; return ;; esac
  done
  echo "still-${state:-unknown}"
}

# Sends a job with lp arguments $@ and prints its job id.
submit() {
  local id
  id=$(lp "$@" | sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p')
  [ -n "$id" ] || die "lp $* was refused"
  echo "$id"
}

# Makes the reference for input $1 with options $2 (and cupsfilter arguments
# $3...): phototovelta run directly on a JPEG or PNG, or for other documents
# the raster the chain hands rastertovelta and the filter run on it directly;
# into $work/direct.prn.
direct_run() {
  local input=$1 options=$2 args=() opt
  shift 2
  if [[ $input == *.jpg || $input == *.png ]]; then
    run_filter_directly "$input" "$options" "$work/direct.prn" "$work/direct.log" "$([ "${1:-}" = -n ] && echo "$2")"
    return
  fi
  for opt in $options; do args+=(-o "$opt"); done
  echo "ServerBin $work/bin" >"$work/cupsfilter-files.conf"
  cupsfilter -c "$work/cupsfilter-files.conf" -p "$VELTA_PPD" -e -m "$(filter_input_type)" \
    "${args[@]}" "$@" \
    "$input" >"$work/direct.ras" 2>"$work/direct-raster.log" || return 1
  run_filter_directly "$work/direct.ras" "$options" "$work/direct.prn" "$work/direct.log"
}

# Checks job $2 (named $1) on a queue writing to $3: it completes as pages
# $4, and its bytes equal the direct run for input $5 with options $6 (and
# cupsfilter arguments $7...).
check_job() {
  local name=$1 id=$2 output=$3 expect=$4 input=$5 options=$6 state pages
  shift 6
  state=$(wait_job "$id" 60)
  if [ "$state" != completed ]; then fail "$name" "job $id ended $state"; return; fi
  pass "$name: job $id completed"
  if ! pages=$(stream_pages "$output"); then fail "$name" "the printer stream is not well formed"
  elif [ "$pages" != "$expect" ]; then fail "$name" "pages [$pages], expected [$expect]"
  else pass "$name: one page, $expect"; fi
  if ! direct_run "$input" "$options" "$@"; then fail "$name" "the direct run failed"
  elif cmp -s "$output" "$work/direct.prn"; then pass "$name: equals the direct run"
  else fail "$name" "differs from the direct run"; fi
}

# Prints the daemon's line on how job $1's filter (rastertovelta or
# phototovelta) ended, if it has one.
filter_end() {
  grep -E "^\S+ \[[^]]*\] \[Job $1\] PID [0-9]+ \(\S*/(raster|photo)tovelta\)" "$work/log/error_log" |
    tail -n 1
}

# Succeeds when the daemon's log shows that job $1's filter exited 0.
filter_exited_cleanly() { filter_end "$1" | grep -q 'exited with no errors'; }

start_cupsd
pass "cupsd runs on 127.0.0.1:$port"

lpadmin -p velta -E -v "file://$work/out/velta.prn" -P "$VELTA_PPD" -o print-scaling-default=fill \
  2>>"$work/log/lpadmin.log" ||
  die "lpadmin could not make the file queue"
lpadmin -p slow -E -v "throttle:$work/out" -P "$VELTA_PPD" -o print-scaling-default=fill \
  2>>"$work/log/lpadmin.log" ||
  die "lpadmin could not make the throttled queue"

make_photo 2600 1950 "$work/landscape-4x3.png"
make_photo 1950 2600 "$work/portrait-3x4.jpg"

echo "# lp with options"
id=$(submit -d velta -o stpBrightness=15 -o noDirectMap -o PrintMode=true "$work/landscape-4x3.png")
check_job "a 4:3 PNG sent with lp -o" "$id" "$work/out/velta.prn" "1800x2492 copies 1 high-quality" \
  "$work/landscape-4x3.png" "print-scaling=fill stpBrightness=15 noDirectMap PrintMode=true"
for line in "stp_brightness(1)=15" "directmap(1)=0 val=false" "high_quality(1)=1 val=true"; do
  if grep -q "\[Job $id\] $line\$" "$work/log/error_log"; then pass "job $id logs $line"
  else fail "job $id options" "the daemon log has no '$line'"; fi
done
if filter_exited_cleanly "$id"; then pass "job $id: the filter exits 0"
else fail "job $id" "the filter did not exit 0"; fi

echo "# lp -n 3"
id=$(submit -d velta -n 3 "$work/portrait-3x4.jpg")
check_job "a JPEG sent with lp -n 3" "$id" "$work/out/velta.prn" "1800x2492 copies 3 normal" \
  "$work/portrait-3x4.jpg" "print-scaling=fill" -n 3

echo "# A job cancelled while printing"
touch "$work/out/slow"
id=$(submit -d slow "$work/portrait-3x4.jpg")
reached=0
for _ in $(seq 150); do
  size=$(stat -c %s "$work/out/job-$id.part" 2>/dev/null || echo 0)
  if [ "$size" -ge 262144 ]; then reached=1; break; fi
  sleep 0.2
done
if [ "$reached" -eq 1 ]; then pass "job $id is printing ($size bytes out)"
else fail "job $id" "never reached the backend"; fi
cancel "$id"
state=$(wait_job "$id" 20)
if [ "$state" = canceled ]; then pass "the cancelled job $id ends canceled"
else fail "cancelled job $id" "ended $state"; fi
# cupsd sends SIGKILL JobKillDelay (10) seconds after SIGTERM.
for _ in $(seq 60); do [ -n "$(filter_end "$id")" ] && break; sleep 0.2; done
if filter_exited_cleanly "$id"; then pass "job $id: the filter exits 0 on SIGTERM"
else
  fail "cancelled job $id" "the filter did not exit 0: $(filter_end "$id")"
  echo "     the job's last messages:"
  grep "\[Job $id\]" "$work/log/error_log" | grep -vE 'envp|argv|Printing page' | tail -15 | sed 's/^/     /'
fi
rm -f "$work/out/slow"
id=$(submit -d slow -o stpContrast=-3 "$work/landscape-4x3.png")
check_job "the next job on that queue" "$id" "$work/out/job-$id.prn" "1800x2492 copies 1 normal" \
  "$work/landscape-4x3.png" "print-scaling=fill stpContrast=-3"

finish

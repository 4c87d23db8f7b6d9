#!/bin/bash
# The printer application seen from another host: a client in a network
# namespace of its own, joined to this machine by a veth pair. Without
# credentials neither the web pages nor IPP change a default or delete the
# printer, while printing from there works; with an administrator's
# credentials (a user made for the test, in the administrators' group,
# authenticated by PAM over TLS) both do. Needs root and network namespaces;
# exits 77 (skipped) where the kernel refuses them.
#   VELTA_APP=path/to/velta-printer-app tests/app/remote-admin-test.sh
source "$(dirname "$0")/../spooler/common.sh"

[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root for network namespaces"; exit 77; }
command -v ip >/dev/null || { echo "SKIP: iproute2 (ip) is not installed"; exit 77; }
make_work_folder
ns=velta-remote-$$
host_if=vh$$ remote_if=vr$$
subnet=10.$((RANDOM % 200 + 20)).$((RANDOM % 250)).
host=${subnet}1 remote=${subnet}2
if ! ip netns add "$ns" 2>"$work/netns.err"; then
  echo "SKIP: the kernel refuses network namespaces: $(cat "$work/netns.err")"
  exit 77
fi
cleanup_hooks+=("ip netns del $ns 2>/dev/null; ip link del $host_if 2>/dev/null || true")
ip link add "$host_if" type veth peer name "$remote_if" &&
  ip link set "$remote_if" netns "$ns" &&
  ip addr add "$host/30" dev "$host_if" && ip link set "$host_if" up &&
  ip netns exec "$ns" ip addr add "$remote/30" dev "$remote_if" &&
  ip netns exec "$ns" ip link set "$remote_if" up && ip netns exec "$ns" ip link set lo up ||
  die "cannot join the namespace to this machine"
in_remote() { ip netns exec "$ns" "$@"; }

# The application under a name of its own (its local socket carries it).
program=$work/velta-remote-app-$$
ln -s "$VELTA_APP" "$program"
server_pid=
cleanup_hooks+=("[ -z \"\$server_pid\" ] || { kill \$server_pid; wait \$server_pid; } 2>/dev/null || true; rm -f /run/$(basename "$program").sock")
mkdir -p "$work/device"
port=$((20000 + RANDOM % 40000))

# Stops the server; it must end cleanly (status 0, no sanitizer report).
stop_server() {
  kill "$server_pid"
  if wait "$server_pid"; then pass "the server ends cleanly"; else fail "server" "it ended with status $?"; fi
  server_pid=
}

# Starts the server on the host's veth address with server options $@.
start_server() {
  [ -z "$server_pid" ] || stop_server
  "$program" server -o server-port="$port" -o listen-hostname="$host" -o state-directory="$work/state" \
    -o log-file="$work/app.log" -o log-level=info "$@" </dev/null >"$work/server.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/$host/$port") 2>/dev/null && return; sleep 0.2; done
  die "the server did not start: $(tail -3 "$work/server.out")"
}

# Prints the printers the server has, asked through its local socket.
printers() { "$program" printers 2>/dev/null; }

# Sends the form of web page $2 (under http or https $1) back from the remote
# host with field changes $3... and curl options in $curl_auth; prints the
# HTTP status of the POST.
post_form() {
  local base=$1 page=$2 session
  shift 2
  session=$(in_remote curl -sk ${curl_auth:-} "$base$page" | sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' | head -1)
  in_remote curl -sk ${curl_auth:-} -o "$work/post.html" -w '%{http_code}' -d "session=$session" "${@/#/-d}" "$base$page"
}

# Runs ipptool from the remote host against URI $1: operation $2 on the
# printer, with more attributes $3; prints ipptool's exit status.
remote_ipp() {
  printf '{\nOPERATION %s\nGROUP operation-attributes-tag\nATTR charset attributes-charset utf-8
ATTR naturalLanguage attributes-natural-language en\nATTR uri printer-uri $uri\n%s\nSTATUS successful-ok\n}\n' \
    "$2" "$3" >"$work/request.test"
  in_remote ipptool -T 10 -t "$1" "$work/request.test" >"$work/ipptool.out" 2>&1
  echo $?
}
set_brightness=(Set-Printer-Attributes 'GROUP printer-attributes-tag
ATTR integer brightness-default 8')
delete_printer=(Delete-Printer '')
print_job=(Print-Job 'ATTR mimeMediaType document-format image/jpeg
ATTR name job-name remote-photo
FILE '"$VELTA_PHOTO")

# Prints a photo from the remote host without credentials and checks that it
# reaches the device, and that its document is gone from the spool once done.
remote_print() {
  rm -f "$work/device/remote-photo.prn"
  if [ "$(remote_ipp "ipp://$host:$port/ipp/print/velta" "${print_job[@]}")" -ne 0 ]; then
    fail "remote print job ($1)" "$(tail -3 "$work/ipptool.out")"
    return
  fi
  # Whole once every command of the page is there.
  for _ in $(seq 100); do stream_pages "$work/device/remote-photo.prn" >/dev/null 2>&1 && break; sleep 0.2; done
  if ! stream_pages "$work/device/remote-photo.prn" >/dev/null 2>&1; then
    fail "remote print job ($1)" "no page reached the device"
    return
  fi
  for _ in $(seq 25); do [ -z "$(find "$work/state/spool" -type f)" ] && break; sleep 0.2; done
  if [ -n "$(find "$work/state/spool" -type f)" ]; then
    fail "remote print job ($1)" "its document outlived it: $(find "$work/state/spool" -type f)"
  else pass "a remote print job without credentials prints, and its document is removed ($1)"; fi
}

echo "# Without an authentication service"
start_server
"$program" add -d velta -m velta_photo -v "file://$work/device" >/dev/null 2>&1 || die "cannot add the printer"
if [ "$(stat -c %a "$work/state")" = 700 ] && [ "$(stat -c %a "$work/state/spool")" = 700 ]; then
  pass "the state folder and the spool are the service's alone"
else fail "state folder" "modes $(stat -c %a "$work/state") and $(stat -c %a "$work/state/spool")"; fi
for base in "http://$host:$port" "https://$host:$port"; do
  code=$(post_form "$base" /velta/printing brightness-default=8)
  if grep -q "Changes saved" "$work/post.html"; then fail "remote printing defaults POST" "saved over $base ($code)"
  else pass "a remote POST of the printing defaults is refused over ${base%%:*} ($code)"; fi
  code=$(post_form "$base" /velta/delete)
  if printers | grep -qx velta; then pass "a remote POST of the delete page leaves the printer over ${base%%:*} ($code)"
  else die "the printer is gone after a remote POST over $base ($code)"; fi
done
for request in set_brightness delete_printer; do
  declare -n operation=$request
  if [ "$(remote_ipp "ipp://$host:$port/ipp/print/velta" "${operation[@]}")" -ne 0 ] && printers | grep -qx velta; then
    pass "a remote $request is refused ($(grep -o 'status-code = [a-z-]*' "$work/ipptool.out" | head -1))"
  else fail "remote $request" "it succeeded"; fi
done
remote_print "no authentication service"

echo "# With PAM and an administrators' group"
group=velta-admins-$$ admin=velta-adm-$$ other=velta-usr-$$ password=Velta-$$-pw
groupadd "$group" && useradd -M -G "$group" "$admin" && useradd -M "$other" || die "cannot make the test users"
cleanup_hooks+=("userdel $admin 2>/dev/null; userdel $other 2>/dev/null; groupdel $group 2>/dev/null; rm -f /etc/pam.d/velta-test-$$")
printf '%s:%s\n%s:%s\n' "$admin" "$password" "$other" "$password" | chpasswd
# The PAM service the package installs.
cp "$(dirname "$0")/../../packaging/debian/velta-printer-app.pam" /etc/pam.d/velta-test-$$
start_server -o auth-service=velta-test-$$ -o admin-group="$group"
curl_auth="" code=$(post_form "https://$host:$port" /velta/printing brightness-default=8)
if grep -q "Changes saved" "$work/post.html"; then fail "POST without credentials" "saved ($code)"
else pass "without credentials the printing defaults are refused ($code)"; fi
curl_auth="-u $other:$password" code=$(post_form "https://$host:$port" /velta/printing brightness-default=8)
if grep -q "Changes saved" "$work/post.html"; then fail "POST by a user outside the group" "saved ($code)"
else pass "a user outside the group is refused ($code)"; fi
curl_auth="-u $admin:$password" code=$(post_form "https://$host:$port" /velta/printing brightness-default=8)
if grep -q "Changes saved" "$work/post.html"; then pass "an administrator changes the printing defaults over TLS"
else fail "administrator POST" "not saved ($code)"; fi
if [ "$(remote_ipp "ipps://$admin:$password@$host:$port/ipp/print/velta" "${set_brightness[@]}")" -eq 0 ]; then
  pass "an administrator's Set-Printer-Attributes succeeds"
else fail "administrator Set-Printer-Attributes" "$(grep -m2 -E 'status-code|FAIL' "$work/ipptool.out" | tr '\n' ' ')"; fi
remote_print "with an authentication service"
code=$(post_form "https://$host:$port" /velta/delete)
if printers | grep -qx velta; then fail "administrator delete" "the printer is still there ($code)"
else pass "an administrator deletes the printer"; fi

stop_server
finish

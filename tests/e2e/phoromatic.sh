#!/usr/bin/env bash
# A fleet of one, driven by the benchmark suite's own server: a Phoromatic server started, its
# account made through its web interface, a client connected to it, the client approved and
# sent a benchmark ticket for the profile in pts/local/kelvane, and the result the server then
# holds (its database and its copy of the result file) equal to the score of Kelvane's JSON
# on the client. Server and client run as an unprivileged user, each from a folder of its own,
# and talk over loopback in a network namespace of their own, where nothing else can be reached.
# Usage: phoromatic.sh SOURCE-DIR [PTS-DIR]; PTS-DIR defaults to SOURCE-DIR/../shared/pts. Exit
# 77 (skipped) when the suite is not there.
set -uo pipefail
src=$(cd "$1" && pwd)
pts=${2:-$src/../shared/pts}
user=${KELVANE_TEST_USER:-nobody}

if [[ ! -x "$pts/phoronix-test-suite" ]]; then
  echo "SKIP: the benchmark suite's core is not at $pts; this test runs only beside it"
  exit 77
fi
pts=$(cd "$pts" && pwd)
for tool in php curl python3 ip unshare; do
  command -v $tool >/dev/null || { echo "FAIL: no $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
php -r 'exit(class_exists("SQLite3") ? 0 : 1);' ||
  { echo "FAIL: no PHP SQLite3, which the server needs (scripts/install-deps.sh)" >&2; exit 1; }
git -C "$src" rev-parse --verify -q HEAD >/dev/null || {
  echo "SKIP: $src is no git clone: no source archive of HEAD to make"
  exit 77
}

# The server listens on every interface of its network: a network namespace with only loopback
# keeps it, and anything either side tries to reach, on this machine. In a process namespace
# of its own too, whatever the suite starts ends with this script, however that ends. Root in
# there is root only when it was so outside.
if [[ -z "${KELVANE_PHOROMATIC_NETNS:-}" ]]; then
  ns=(unshare --net --pid --fork --kill-child)
  if [[ $(id -u) -eq 0 ]]; then
    KELVANE_PHOROMATIC_NETNS=root exec "${ns[@]}" bash "$0" "$@"
  fi
  KELVANE_PHOROMATIC_NETNS=user exec "${ns[@]}" --map-root-user bash "$0" "$@"
fi
ip link set lo up || { echo "FAIL: no loopback in the namespace" >&2; exit 1; }

work=$(mktemp -d /tmp/kelvane-phoromatic-XXXXXX)
chmod 755 "$work"
server=$work/server/.phoronix-test-suite
client=$work/client
client_path=$client/.phoronix-test-suite
web=""
fail() {
  echo "FAIL: $*" >&2
  # With the suite's log of each run of Kelvane (its stdout and stderr) and what its results
  # folder held, so that a run that ended early says why.
  ls -l "$client"/installed-tests/local/kelvane/results >&2 2>/dev/null
  for f in "$work"/client.txt "$client"/installed-tests/local/kelvane/install.log \
    "$server"/phoromatic.log "$work"/server.txt $(find "$work" -name 'kelvane-[0-9]*.log'); do
    [[ -f "$f" ]] && tail -n 30 "$f" | sed "s#^#  $(basename "$f")| #" >&2
  done
  exit 1
}
# The users of the suite may be unable to enter the folders above the clone (mktemp -d makes
# them 0700): they run a copy of it from the private folder.
cp -r "$pts" "$work/suite" || fail "copying the suite"
pts=$work/suite
# With KELVANE_SPHERE_COST naming tests/e2e/sphere_cost.c's library (ctest does), every sphere
# costs 3 ms more: a climb of half a minute, with steps enough for a steady figure, for what
# is tested is the fleet's record of it.
cost=()
if [[ -n "${KELVANE_SPHERE_COST:-}" ]]; then
  cp "$KELVANE_SPHERE_COST" "$work/" || fail "no $KELVANE_SPHERE_COST"
  cost=(KELVANE_SPHERE_US=3000 LD_PRELOAD="$work/$(basename "$KELVANE_SPHERE_COST")")
fi
stop() {
  [[ -n "${client_pid:-}" ]] && kill -- -"$client_pid" 2>/dev/null
  if [[ -n "${server_pid:-}" ]]; then
    (echo >&3) 2>/dev/null # the server's launcher stops its servers on a line of input
    for _ in 1 2 3 4 5; do kill -0 "$server_pid" 2>/dev/null && sleep 1; done
    kill -- -"$server_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 1' TERM INT

mkdir -p "$server/test-profiles/local" "$client_path/test-profiles/local" "$client/cache" \
  "$client/installed-tests" "$client/results" "$work/php" "$work/sessions" "$work/tmp"
cp -r "$src/pts/local/kelvane" "$server/test-profiles/local/"
cp -r "$src/pts/local/kelvane" "$client_path/test-profiles/local/"
git -C "$src" archive --prefix=kelvane-src/ -o "$client/cache/kelvane-src.tar.gz" HEAD ||
  fail "git archive"
# A server that has never been online has no index of the suite's online repositories, and
# then each of its replies that names a test opens with a notice of that, which makes the client
# drop the reply (it reads only replies that begin as JSON) and never take its ticket. Indexes
# of empty repositories, made now, stand for that server's last look at them.
mkdir -p "$server/openbenchmarking.org"
for repo in pts system git; do
  echo "{\"main\":{\"generated\":$(date +%s)},\"tests\":{},\"suites\":{}}" \
    >"$server/openbenchmarking.org/$repo.index"
done
# The web server's sessions stay in this folder rather than in the system's /tmp.
echo "session.save_path=$work/sessions" >"$work/php/sessions.ini"
read -r http_port ws_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*(x.getsockname()[1] for x in s))')
web=http://127.0.0.1:$http_port

cat >"$server/user-config.xml" <<EOF
<?xml version="1.0"?>
<PhoronixTestSuite>
  <Options>
    <OpenBenchmarking><AnonymousUsageReporting>FALSE</AnonymousUsageReporting></OpenBenchmarking>
    <General>
      <UsePhodeviCache>FALSE</UsePhodeviCache><ColoredConsole>FALSE</ColoredConsole>
    </General>
    <Modules><AutoLoadModules></AutoLoadModules></Modules>
    <Installation>
      <EnvironmentDirectory>$work/server/installed-tests/</EnvironmentDirectory>
      <CacheDirectory>$work/server/cache/</CacheDirectory>
    </Installation>
    <Testing><ResultsDirectory>$work/server/results/</ResultsDirectory></Testing>
    <Networking><NoInternetCommunication>TRUE</NoInternetCommunication></Networking>
    <Server>
      <RemoteAccessPort>$http_port</RemoteAccessPort>
      <WebSocketPort>$ws_port</WebSocketPort>
      <AdvertiseServiceZeroConf>FALSE</AdvertiseServiceZeroConf>
      <AdvertiseServiceOpenBenchmarkRelay>FALSE</AdvertiseServiceOpenBenchmarkRelay>
    </Server>
  </Options>
</PhoronixTestSuite>
EOF
# The client as pts.sh sets it up, but with the network left on: it has a server to talk to.
cat >"$client_path/user-config.xml" <<EOF
<?xml version="1.0"?>
<PhoronixTestSuite>
  <Options>
    <OpenBenchmarking>
      <AnonymousUsageReporting>FALSE</AnonymousUsageReporting>
      <AllowResultUploadsToOpenBenchmarking>FALSE</AllowResultUploadsToOpenBenchmarking>
    </OpenBenchmarking>
    <General>
      <UsePhodeviCache>FALSE</UsePhodeviCache><ColoredConsole>FALSE</ColoredConsole>
    </General>
    <Modules><AutoLoadModules></AutoLoadModules></Modules>
    <Installation>
      <RemoveDownloadFiles>FALSE</RemoveDownloadFiles>
      <SearchMediaForCache>FALSE</SearchMediaForCache>
      <EnvironmentDirectory>$client/installed-tests/</EnvironmentDirectory>
      <CacheDirectory>$client/cache/</CacheDirectory>
    </Installation>
    <Testing>
      <SleepTimeBetweenTests>0</SleepTimeBetweenTests>
      <ResultsDirectory>$client/results/</ResultsDirectory>
      <AlwaysUploadResultsToOpenBenchmarking>FALSE</AlwaysUploadResultsToOpenBenchmarking>
    </Testing>
    <TestResultValidation><DynamicRunCount>FALSE</DynamicRunCount></TestResultValidation>
    <Networking><NoInternetCommunication>TRUE</NoInternetCommunication></Networking>
  </Options>
</PhoronixTestSuite>
EOF

as_user=()
if [[ $KELVANE_PHOROMATIC_NETNS == root ]]; then
  chown -R "$user" "$work"/*
  as_user=(setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups)
fi
suite() { # HOME and then the suite's arguments; in its own process group, for stop()
  local home=$1
  shift
  exec setsid "${as_user[@]}" env -i PATH="$PATH" HOME="$home" TMPDIR="$work/tmp" \
    PTS_USER_PATH_OVERRIDE="$home/.phoronix-test-suite/" PHP_INI_SCAN_DIR=":$work/php" \
    "${cost[@]}" GALLIUM_DRIVER=llvmpipe "$pts/phoronix-test-suite" "$@"
}
get() { curl -sS --noproxy '*' --max-time 60 -b "$work/jar" -c "$work/jar" "$@"; }
# Waits up to $1 seconds for command $2... to succeed, every 2 seconds.
await() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 2
  done
}

start=$SECONDS
mkfifo "$work/server.in"
suite "$work/server" start-phoromatic-server <"$work/server.in" >"$work/server.txt" 2>&1 &
server_pid=$!
exec 3>"$work/server.in"
await 60 get -o /dev/null "$web/server.php?phoromatic_info" 2>/dev/null || fail "no server at $web"

# The account, as its sign-up form makes it, and a session logged into it.
get -d register_username=fleet -d register_password=fleet-secret \
  -d register_password_confirm=fleet-secret -d register_email=fleet@example.org "$web/?register" |
  grep -q 'Account Created' || fail "no account made"
get -d username=fleet -d password=fleet-secret "$web/?login" | grep -q 'Log-In Successful' ||
  fail "no log-in"

# A suite of Kelvane's profile as the suite builder offers it: each option's first entry,
# the smallest resolution and the climb (whose value is empty).
form=$(get "$web/?r_add_test_build_suite_details/&tp=local/kelvane")
prefix=$(grep -oP 'name="test_prefix\[\]" value="\K[^"]+' <<<"$form")
options=()
size=
while read -r option; do
  value=$(grep -oP "<select name=\"$option\".*?<option value=\"\K[^\"]*" <<<"$form" | head -n 1)
  shown=$(grep -oP "name=\"${option}_selected\".*?value=\"\K[^\"]+" <<<"$form" | head -n 1)
  options+=(--data-urlencode "$option=$value" --data-urlencode "${option}_selected=$shown")
  [[ $value == --offscreen=* ]] && size=${value#--offscreen=}
done < <(grep -oP '<select name="\K[^"]+' <<<"$form")
[[ -n "$size" ]] || fail "the server offers no resolution of local/kelvane: $form"
get -o /dev/null -d suite_title=Kelvane -d suite_version=1.0.0 -d suite_description=Kelvane \
  -d 'test_add[]=local/kelvane' -d "test_prefix[]=$prefix" "${options[@]}" "$web/?build_suite"

# The client, connected with the command the server's systems page gives.
connect=$(get "$web/?systems" | grep -oP 'phoromatic\.connect \K[0-9.]+:[0-9]+/[A-Z0-9]+')
[[ -n "$connect" ]] || fail "the systems page names no address to connect to"
suite "$client" phoromatic.connect "$connect" </dev/null >"$work/client.txt" 2>&1 &
client_pid=$!
system_waiting() {
  system=$(get "$web/?systems" | grep -oP 'href="\?systems/\K[A-Z0-9]{5}(?=")' | head -n 1)
  [[ -n "$system" ]]
}
await 120 system_waiting || fail "the client never reached the server"

# Approved, and given a ticket to run the suite once.
get -o /dev/null -d system_title=kelvane-client -d system_description=Kelvane -d system_state=1 \
  -d block_power_offs=0 "$web/?systems/$system"
ticket_form=$(get "$web/?benchmark")
suite_id=$(grep -oP '<option value="\K[^"]+(?=">Kelvane - )' <<<"$ticket_form")
grep -q "name=\"run_on_systems\[\]\" value=\"$system\"" <<<"$ticket_form" ||
  fail "system $system is not offered for a benchmark"
ticket=$(get -o /dev/null -w '%{redirect_url}' -F benchmark_title=kelvane-fleet \
  -F benchmark_identifier=kelvane-client -F "suite_to_run=$suite_id" \
  -F benchmark_description=Kelvane -F "run_on_systems[]=$system" -F PTS_CONCURRENT_TEST_RUNS= \
  -F TOTAL_LOOP_TIME= -F FORCE_TIMES_TO_RUN=1 "$web/?benchmark" | grep -oP 'benchmark/\K[0-9]+')
[[ -n "$ticket" ]] || fail "no benchmark ticket"
echo "server $web, account ${connect##*/}, system $system, ticket $ticket, suite $suite_id"

# The client asks for work as it starts and then a minute apart: started again, it takes the
# ticket at once, installs, runs and uploads. A run that leaves the server no result has the
# ticket handed out again at the poll after. The server hands out only tickets issued before
# the current second: a poll in the second of the ticket's making would idle a minute.
kill -- -"$client_pid" 2>/dev/null
wait "$client_pid" 2>/dev/null
sleep 1.1
suite "$client" phoromatic.connect "$connect" </dev/null >>"$work/client.txt" 2>&1 &
client_pid=$!
result_listed() {
  kill -0 "$client_pid" 2>/dev/null || fail "the client ended"
  local taken
  taken=$(grep -cs 'Received benchmark command' "$client_path/phoronix-test-suite.log")
  ((${taken:-0} < 2)) || fail "the client took the ticket again: its run left the server no result"
  get "$web/?benchmark/$ticket" | grep -q 'id="result_select_'
}
await 1200 result_listed || fail "no result on the server"
echo "the server listed the result after $((SECONDS - start)) s"

json="$client/installed-tests/local/kelvane/results/Kelvane result.json"
account=${connect##*/}
if ! python3 - "$server/phoromatic" "$account" "$system" "$ticket" "$json" "$size" <<'EOF'; then
import json, sqlite3, sys
import xml.etree.ElementTree as ET
storage, account, system, ticket, result, size = sys.argv[1:]
db = sqlite3.connect(f"file:{storage}/phoromatic.db?mode=ro", uri=True)
rows = db.execute("SELECT UploadID FROM phoromatic_results WHERE AccountID = ? AND SystemID = ?"
                  " AND BenchmarkTicketID = ?", (account, system, ticket)).fetchall()
assert len(rows) == 1, f"{len(rows)} results of the ticket in the server's database"
upload = rows[0][0]
tests = db.execute("SELECT TestProfile FROM phoromatic_results_results WHERE AccountID = ?"
                   " AND UploadID = ?", (account, upload)).fetchall()
r = json.load(open(result))
assert len(r["runs"]) == 1, f"{len(r['runs'])} runs in the JSON"
# The score, and the steady figure beside it unless the run had none.
figures = 1 if r["runs"][0]["steady_score"] is None else 2
assert [t[0].split("-")[0] for t in tests] == ["local/kelvane"] * figures, tests
w, h = (int(v) for v in size.split("x"))
assert (r["surface"]["width"], r["surface"]["height"]) == (w, h), r["surface"]
composite = f"{storage}/accounts/{account}/results/{upload}/composite.xml"
held = {}
for result in ET.parse(composite).getroot().findall("Result"):
    assert result.findtext("Arguments") == f"--offscreen={size}", result.findtext("Arguments")
    held[result.findtext("Description")] = float(result.find("Data/Entry/Value").text)
print(f"the server holds {held}; Kelvane's JSON on the client says {r['runs'][0]['score']}")
assert len(held) == figures and held["Score"] == float(r["runs"][0]["score"]), held
EOF
  fail "the result the server holds is not Kelvane's"
fi
echo "PASS after $((SECONDS - start)) s"

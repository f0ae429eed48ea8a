#!/usr/bin/env bash
# The test profile in pts/local/kelvane run by the benchmark suite's own code, offline, as an
# unprivileged user in a private folder: a source archive of HEAD in a private download
# cache, the profile installed (which builds Kelvane), a climb and a quick run on a small
# surface, and the results the suite recorded equal to the figures of Kelvane's own JSON.
# The user gets copies of the suite and the profile in that folder, for it may be unable to
# enter the clone's (under a parent made by mktemp -d, mode 0700).
# Usage: pts.sh SOURCE-DIR [PTS-DIR]; PTS-DIR defaults to SOURCE-DIR/../shared/pts. Exit 77
# (skipped) when the suite is not there, as in a clone without it.
set -uo pipefail
src=$(cd "$1" && pwd)
pts=${2:-$src/../shared/pts}
user=${KELVANE_TEST_USER:-nobody}
size=320x240

if [[ ! -x "$pts/phoronix-test-suite" ]]; then
  echo "SKIP: the benchmark suite's core is not at $pts; this test runs only beside it"
  exit 77
fi
pts=$(cd "$pts" && pwd)
command -v php >/dev/null || { echo "FAIL: no php (scripts/install-deps.sh)" >&2; exit 1; }
git -C "$src" rev-parse --verify -q HEAD >/dev/null || {
  echo "SKIP: $src is no git clone: no source archive of HEAD to make"
  exit 77
}

work=$(mktemp -d /tmp/kelvane-pts-XXXXXX)
chmod 755 "$work"
fail() {
  echo "FAIL: $*" >&2
  # With Kelvane's own words of each run (its stdout and stderr, as the suite logged them),
  # so that a run that ended early says why.
  for f in "$work"/out.txt "$home"/installed-tests/local/kelvane/install.log \
    $(find "$work" -name 'kelvane-[0-9]*.log' 2>/dev/null); do
    [[ -f "$f" ]] && tail -n 40 "$f" | sed "s#^#  $(basename "$f")| #" >&2
  done
  exit 1
}
trap 'rm -rf "$work"' EXIT
trap 'exit 1' TERM INT

home="$work/home"
user_path="$home/.phoronix-test-suite"
mkdir -p "$user_path" "$home/installed-tests" "$home/results"
cp -r "$pts" "$work/suite" || fail "copying the suite"
# With KELVANE_SPHERE_COST naming tests/e2e/sphere_cost.c's library (ctest does), every sphere
# costs 3 ms more: a climb of half a minute, with steps enough for a steady figure, for what
# is tested is the suite's record of it.
cost=()
if [[ -n "${KELVANE_SPHERE_COST:-}" ]]; then
  cp "$KELVANE_SPHERE_COST" "$work/" || fail "no $KELVANE_SPHERE_COST"
  cost=(KELVANE_SPHERE_US=3000 LD_PRELOAD="$work/$(basename "$KELVANE_SPHERE_COST")")
fi
# The step of docs/suite.md, into this user's folders as the suite will find them.
PTS_USER_PATH_OVERRIDE="$user_path/" PTS_DOWNLOAD_CACHE="$home/cache/" \
  bash "$src/scripts/pts-profile.sh" >/dev/null || fail "scripts/pts-profile.sh"
[[ -f "$user_path/test-profiles/local/kelvane/test-definition.xml" && -f "$home/cache/kelvane-src.tar.gz" ]] ||
  fail "the profile or its archive is not where the suite looks"

# Offline and without a question: batch mode set up, nothing uploaded or reported, and every
# folder named outright (the suite resolves ~ through the password database).
cat >"$user_path/user-config.xml" <<EOF
<?xml version="1.0"?>
<PhoronixTestSuite>
  <Options>
    <OpenBenchmarking>
      <AnonymousUsageReporting>FALSE</AnonymousUsageReporting>
      <AllowResultUploadsToOpenBenchmarking>FALSE</AllowResultUploadsToOpenBenchmarking>
    </OpenBenchmarking>
    <General><UsePhodeviCache>FALSE</UsePhodeviCache><ColoredConsole>FALSE</ColoredConsole></General>
    <Modules><AutoLoadModules></AutoLoadModules></Modules>
    <Installation>
      <RemoveDownloadFiles>FALSE</RemoveDownloadFiles>
      <SearchMediaForCache>FALSE</SearchMediaForCache>
      <EnvironmentDirectory>$home/installed-tests/</EnvironmentDirectory>
      <CacheDirectory>$home/cache/</CacheDirectory>
    </Installation>
    <Testing>
      <SleepTimeBetweenTests>0</SleepTimeBetweenTests>
      <ResultsDirectory>$home/results/</ResultsDirectory>
      <AlwaysUploadResultsToOpenBenchmarking>FALSE</AlwaysUploadResultsToOpenBenchmarking>
    </Testing>
    <TestResultValidation><DynamicRunCount>FALSE</DynamicRunCount></TestResultValidation>
    <BatchMode>
      <SaveResults>TRUE</SaveResults>
      <OpenBrowser>FALSE</OpenBrowser>
      <UploadResults>FALSE</UploadResults>
      <PromptForTestIdentifier>FALSE</PromptForTestIdentifier>
      <PromptForTestDescription>FALSE</PromptForTestDescription>
      <PromptSaveName>FALSE</PromptSaveName>
      <RunAllTestCombinations>FALSE</RunAllTestCombinations>
      <Configured>TRUE</Configured>
    </BatchMode>
    <Networking>
      <NoInternetCommunication>TRUE</NoInternetCommunication>
      <NoNetworkCommunication>TRUE</NoNetworkCommunication>
    </Networking>
  </Options>
</PhoronixTestSuite>
EOF

prefix=()
if [[ $(id -u) -eq 0 ]]; then
  chown -R "$user" "$home"
  prefix=(setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups)
fi
cd "$work" || fail "cd $work"
# suite NAME PROTOCOL: one run of the profile with its protocol option's value ("" the climb,
# --quick), recorded as NAME; the second run finds the profile installed.
suite() {
  local start=$SECONDS status
  "${prefix[@]}" env -i PATH="$PATH" HOME="$home" PTS_USER_PATH_OVERRIDE="$user_path/" \
    "${cost[@]}" GALLIUM_DRIVER=llvmpipe FORCE_TIMES_TO_RUN=1 TEST_RESULTS_NAME="$1" \
    TEST_RESULTS_IDENTIFIER=check \
    PRESET_OPTIONS_VALUES="kelvane.auto-resolution=$size;kelvane.protocol=$2" \
    timeout 900 "$work/suite/phoronix-test-suite" batch-benchmark local/kelvane \
    </dev/null >"$work/out.txt" 2>&1
  status=$?
  echo "the suite ($1) ended with status $status after $((SECONDS - start)) s"
  [[ $status -eq 0 ]] || fail "the suite's status $status"
}

# check NAME PROTOCOL: what the suite recorded as NAME is what Kelvane's JSON says.
check() {
  local composite="$home/results/$1/composite.xml"
  local json="$home/installed-tests/local/kelvane/results/Kelvane result.json"
  [[ -f "$composite" ]] || fail "no result file: $(ls -R "$home/results" | head -n 20)"
  [[ -f "$json" ]] || fail "no JSON of Kelvane's"
  python3 - "$composite" "$json" "$size" "$2" <<'EOF' || fail "the recorded results are not Kelvane's"
import json, sys
import xml.etree.ElementTree as ET
composite, result, size, protocol = sys.argv[1:]
doc = json.load(open(result))
runs = doc["runs"]
assert len(runs) == 1, f"{len(runs)} runs in the JSON"
w, h = (int(v) for v in size.split("x"))
surface = doc["surface"]
assert (surface["width"], surface["height"]) == (w, h), f"surface {surface}"
# The steady figure is null when the run had too few steps near the stop; the suite then
# records the score alone. A quick run has its steady figure alone, under a name of its own.
if protocol:
    assert runs[0]["protocol"] == "quick", runs[0]["protocol"]
    expected = {"Quick Steady Figure": runs[0]["steady_score"]}
else:
    expected = {"Score": runs[0]["score"], "Steady Figure": runs[0]["steady_score"]}
expected = {k: v for k, v in expected.items() if v is not None}
recorded = {}
for r in ET.parse(composite).getroot().findall("Result"):
    assert r.findtext("Identifier").startswith("local/kelvane"), r.findtext("Identifier")
    arguments = f"--offscreen={size} {protocol}".strip()
    assert r.findtext("Arguments") == arguments, r.findtext("Arguments")
    # A run that gave the suite no figure is kept by the suite with an empty value.
    value = (r.findtext("Data/Entry/Value") or "").strip()
    if value:
        recorded[r.findtext("Description")] = float(value)
    # The run's verdicts reach the suite as its note beside each figure, and only then.
    note = json.loads(r.findtext("Data/Entry/JSON") or "{}").get("install-footnote") or ""
    for verdict, said in (("disturbed", (runs[0].get("interference") or {}).get("disturbed")),
                          ("drifted", (runs[0].get("drift") or {}).get("drifted"))):
        assert bool(said) == (f"{verdict}:" in note), (verdict, said, note)
print(f"the suite recorded {recorded}; Kelvane's JSON says {expected}")
assert recorded.keys() == expected.keys()
# The suite keeps the steady figure to its one decimal.
for name, value in expected.items():
    assert abs(recorded[name] - value) <= 0.05 + 1e-9, name
EOF
}

# The climb keeps the arguments the profile gave before it had a protocol option.
suite kelvane-check ""
check kelvane-check ""
# The suite keeps a run's note with the installed test; the next run must say its own.
python3 - "$home/installed-tests/local/kelvane/pts-install.json" <<'EOF' || fail "no pts-install.json"
import json, sys
doc = json.load(open(sys.argv[1]))
doc["test_installation"]["environment"]["install_footnote"] = "Kelvane disturbed: drifted: an earlier run's"
json.dump(doc, open(sys.argv[1], "w"))
EOF
suite kelvane-quick --quick
check kelvane-quick --quick
echo "PASS"

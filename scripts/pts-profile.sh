#!/usr/bin/env bash
# Puts the test profile (pts/local/kelvane) and a source archive of HEAD where the benchmark
# suite looks for them, for whoever runs it: root (who may write /var/lib and /etc) has the
# suite's system folders, /var/lib/phoronix-test-suite/ and its download cache under
# /var/cache/phoronix-test-suite/; anyone else ~/.phoronix-test-suite/. The suite's own
# PTS_USER_PATH_OVERRIDE and PTS_DOWNLOAD_CACHE win, as they do in the suite.
#   scripts/pts-profile.sh        then: phoronix-test-suite benchmark local/kelvane
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
if [[ -w /var/lib/ && -w /etc ]]; then
  user=/var/lib/phoronix-test-suite cache=/var/cache/phoronix-test-suite/download-cache
else
  user=$HOME/.phoronix-test-suite cache=$HOME/.phoronix-test-suite/download-cache
fi
[[ -n ${PTS_USER_PATH_OVERRIDE:-} && -d ${PTS_USER_PATH_OVERRIDE} ]] && user=${PTS_USER_PATH_OVERRIDE%/}
cache=${PTS_DOWNLOAD_CACHE:-$cache}
cache=${cache%%:*} # the first of a colon-separated list
mkdir -p "$user/test-profiles/local" "$cache"
rm -rf "$user/test-profiles/local/kelvane"
cp -r "$src/pts/local/kelvane" "$user/test-profiles/local/"
git -C "$src" archive --prefix=kelvane-src/ -o "${cache%/}/kelvane-src.tar.gz" HEAD
echo "pts-profile: local/kelvane in $user/test-profiles/, its source in ${cache%/}/"

#!/usr/bin/env bash
# Tests of the install and the package. Usage: install.sh CASE BUILD-DIR
#   files    cmake --install into a private folder: the layout, the validators of the desktop
#            entry, the AppStream file and the manual page, the icons, the version everywhere,
#            the licence
#   package  the .deb: made by CPack into a private folder, installed (dpkg -i, as root, when
#            no kelvane package is installed yet; else unpacked into a private root), a test
#            run by an unprivileged user and one by root (when root) whose results land in
#            each one's data folder, and removed with nothing left behind
set -uo pipefail
case_name=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d /tmp/kelvane-install-XXXXXX)
chmod 755 "$work"
installed_by_us=0
user=${KELVANE_TEST_USER:-nobody}

fail() { echo "FAIL ($case_name): $*" >&2; exit 1; }
cleanup() {
  if ((installed_by_us)); then dpkg -P kelvane >/dev/null 2>&1 || echo "cleanup: dpkg -P failed" >&2; fi
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" TERM INT # so that a timeout still purges what this run installed

version=$("$build/Kelvane.app/Contents/Linux/kelvane" --version | awk '{print $NF}')
[[ -n "$version" ]] || fail "no version from the built program"

# Runs a command as the test's user (root only; anyone else runs it as they are), with
# nothing of this environment but PATH and the given variables.
as_user() {
  local -a prefix=()
  [[ $(id -u) -eq 0 ]] && prefix=(setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups)
  "${prefix[@]}" env -i PATH="$PATH" GALLIUM_DRIVER=softpipe "$@"
}

case $case_name in
files)
  root="$work/root"
  DESTDIR="$root" cmake --install "$build" --prefix /opt/kv >"$work/install.log" 2>&1 ||
    fail "cmake --install: $(tail -n3 "$work/install.log")"
  p="$root/opt/kv"
  bundle="$p/lib/kelvane/Kelvane.app"
  for f in "$bundle/Contents/Linux/kelvane" "$bundle/Contents/Resources/default.tga" \
    "$bundle/Contents/Resources/main.ui" "$bundle/Contents/Resources/validation/grid12.tga" \
    "$p/share/applications/org.kelvane.Kelvane.desktop" \
    "$p/share/metainfo/org.kelvane.Kelvane.metainfo.xml" "$p/share/man/man1/kelvane.1.gz" \
    "$p/share/doc/kelvane/copyright" "$p/share/doc/kelvane/README.md" \
    "$p/share/doc/kelvane/docs/method.md" "$p/share/doc/kelvane/docs/result-plot.png"; do
    [[ -s "$f" ]] || fail "not installed: ${f#"$root"}"
  done
  # The licence, in Debian's machine-readable copyright format, and in the AppStream file.
  copyright="$p/share/doc/kelvane/copyright"
  [[ $(head -n1 "$copyright") == "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ]] &&
    grep -qx 'License: MIT' "$copyright" && grep -qx ' Permission is hereby granted, .*' "$copyright" ||
    fail "copyright: $(head -n8 "$copyright")"
  grep -q '<project_license>MIT</project_license>' "$p/share/metainfo/org.kelvane.Kelvane.metainfo.xml" ||
    fail "no MIT project_license in the AppStream file"
  # The link is relative, so that it holds wherever the tree lands, and the program it
  # starts finds its bundle through it.
  [[ $(readlink "$p/bin/kelvane") == ../lib/kelvane/Kelvane.app/Contents/Linux/kelvane ]] ||
    fail "bin/kelvane: $(ls -l "$p/bin/kelvane")"
  [[ $("$p/bin/kelvane" --version) == "kelvane $version" ]] || fail "bin/kelvane --version: $("$p/bin/kelvane" --version)"
  for size in 48 256; do
    icon="$p/share/icons/hicolor/${size}x$size/apps/org.kelvane.Kelvane.png"
    file -b "$icon" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" ||
      fail "icon $size: $(file -b "$icon" 2>&1)"
  done
  desktop-file-validate "$p/share/applications/org.kelvane.Kelvane.desktop" ||
    fail "desktop-file-validate"
  grep -qx 'Exec=kelvane' "$p/share/applications/org.kelvane.Kelvane.desktop" || fail "Exec"
  appstreamcli validate --no-net "$p/share/metainfo/org.kelvane.Kelvane.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || fail "appstreamcli: $(cat "$work/appstream.log")"
  # The newest release of the AppStream file is the program's version.
  newest=$(grep -o '<release version="[^"]*"' "$p/share/metainfo/org.kelvane.Kelvane.metainfo.xml" |
    head -n1 | cut -d'"' -f2)
  [[ $newest == "$version" ]] || fail "AppStream's newest release $newest, the program $version"
  # The manual page renders without a warning and holds every option of --help.
  MANPAGER=cat MANWIDTH=100 man -l "$p/share/man/man1/kelvane.1.gz" >"$work/man.txt" 2>"$work/man.err" ||
    fail "man -l: $(cat "$work/man.err")"
  [[ ! -s "$work/man.err" ]] || fail "man -l warns: $(cat "$work/man.err")"
  grep -q "^KELVANE(1)" "$work/man.txt" || fail "no header: $(head -n3 "$work/man.txt")"
  grep -q "kelvane $version" "$work/man.txt" || fail "no version $version in the page"
  # The page is written by hand: each option of --help is an entry of its OPTIONS, and each
  # entry an option of --help, named by its leading option words ("--history --plot").
  heads() { sed 's/\\f[A-Z]//g; s/\\-/-/g; s/"//g' | awk '{ k = ""
    for (i = 1; i <= NF; i++) { w = $i; sub(/,$/, "", w); sub(/\[.*/, "", w)
      if (w == "" || w ~ /^\.B[IR]?$/) continue; if (w !~ /^-/) break; k = k (k ? " " : "") w }
    print k }' | sort; }
  help_opts=$("$build/Kelvane.app/Contents/Linux/kelvane" --help | grep '^  -' | heads)
  page_opts=$(zcat "$p/share/man/man1/kelvane.1.gz" | sed -n '/^\.SH OPTIONS/,/^\.SH/p' |
    grep -A1 '^\.TP' | grep -v '^\.TP\|^--$' | heads)
  [[ -n $help_opts && $help_opts == "$page_opts" ]] ||
    fail "--help and the page's OPTIONS differ (< --help, > page): $(diff <(echo "$help_opts") <(echo "$page_opts"))"
  for section in OPTIONS 'EXIT STATUS' FILES ENVIRONMENT EXAMPLES 'SEE ALSO'; do
    grep -qx "$section" "$work/man.txt" || fail "the page lacks its $section section"
  done
  ;;
package)
  command -v cpack >/dev/null || fail "no cpack"
  cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(tail -n5 "$work/cpack.log")"
  deb=$(ls "$work"/pkg/kelvane_"$version"_*.deb 2>/dev/null | head -n1)
  [[ -f "$deb" ]] || fail "no package: $(ls "$work/pkg")"
  dpkg-deb -f "$deb" Depends >"$work/depends"
  # From dpkg-shlibdeps: each library the program links, with a version.
  for lib in libsdl2-2.0-0 libcairo2 libfreetype6 libfontconfig1 libc6; do
    grep -q "$lib (>= " "$work/depends" || fail "Depends lacks $lib: $(cat "$work/depends")"
  done
  # EGL, which SDL opens at run time only: without it --offscreen cannot start.
  for lib in libegl1 libegl-mesa0; do
    grep -Eq "(^|, )$lib(,|$)" "$work/depends" || fail "Depends lacks $lib: $(cat "$work/depends")"
  done
  dpkg-deb -c "$deb" >"$work/contents" || fail "dpkg-deb -c"
  grep -q ' \./usr/bin/kelvane -> ' "$work/contents" || fail "no /usr/bin/kelvane link"
  grep -q ' \./usr/share/doc/kelvane/copyright$' "$work/contents" || fail "no copyright file"
  grep -q ' \./usr/share/doc/kelvane/docs/method\.md$' "$work/contents" || fail "no docs/ in the package"

  # One package install at a time on this machine, whoever runs the tests.
  exec 9>/tmp/kelvane-package-test.lock
  flock -w 600 9 || fail "another package test holds the lock"
  if [[ $(id -u) -eq 0 ]] && ! dpkg-query -W -f='${Status}' kelvane 2>/dev/null | grep -q installed; then
    installed_by_us=1
    dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(tail -n5 "$work/dpkg.log")"
    prefix=""
  else
    echo "install: kelvane is installed already, or not root: the package is unpacked instead"
    dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x"
    prefix="$work/root"
  fi
  exe="$prefix/usr/bin/kelvane"
  [[ -x "$exe" ]] || fail "$exe is missing"

  # Whoever runs it, root too, who could write beside the program (and so may its owner, the
  # runner, where the package is unpacked), the results land in that user's data folder and
  # never among the program's files. Each user's own home holds nothing yet but the folder.
  runners=("$user")
  [[ $(id -u) -eq 0 ]] && runners+=(root)
  # Spheres of a set cost (tests/e2e/sphere_cost.c): a climb of seconds, where it lands is
  # what is tested. A copy the test's user can read.
  cp "$build/tests/e2e/libsphere_cost.so" "$work/" || fail "no libsphere_cost.so"
  short=(KELVANE_SPHERE_US=30000 LD_PRELOAD="$work/libsphere_cost.so")
  for runner in "${runners[@]}"; do
    home="$work/home-$runner"
    mkdir "$home"
    [[ $(id -u) -eq 0 ]] && chown "$runner" "$home"
    user=$runner as_user HOME="$home" "${short[@]}" "$exe" --test --offscreen=64x48 \
      >"$work/stdout" 2>"$work/stderr"
    status=$?
    [[ $status -eq 0 ]] || fail "$runner: status $status: $(tail -n5 "$work/stderr")"
    data="$home/.local/share/kelvane"
    grep -qx "kelvane: results in $data/" "$work/stdout" || fail "$runner: stdout: $(head -n3 "$work/stdout")"
    for f in txt tga json svg png; do
      [[ -s "$data/Kelvane result.$f" ]] || fail "no Kelvane result.$f in $data: $(ls -la "$data" 2>&1)"
    done
    [[ $(stat -c %U "$data/Kelvane result.json") == "$(id -un "$runner")" ]] || fail "results not $runner's"
    grep -qx " workdfolder: $data/" "$data/Kelvane result.txt" ||
      fail "the log does not name $data: $(head -n12 "$data/Kelvane result.txt")"
    python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); assert r["runs"][0]["score"] > 0' \
      "$data/Kelvane result.json" || fail "no score in the JSON"
  done
  [[ $(ls -A "$prefix/usr/lib/kelvane") == Kelvane.app ]] ||
    fail "written among the program's files: $(ls -A "$prefix/usr/lib/kelvane")"
  home="$work/home-$user"
  data="$home/.local/share/kelvane"

  # XDG_DATA_HOME wins over the home folder; neither writable ends at start with status 2.
  as_user HOME="$home" XDG_DATA_HOME="$home/xdg" "$exe" --validate --offscreen=320x240 \
    >"$work/stdout" 2>"$work/stderr" || fail "--validate with XDG_DATA_HOME: $(cat "$work/stderr")"
  [[ -d "$home/xdg/kelvane" ]] || fail "XDG_DATA_HOME/kelvane was not made"
  as_user HOME="$work/none" XDG_DATA_HOME="$data/Kelvane result.json/x" "$exe" \
    --validate --offscreen=320x240 >"$work/stdout" 2>"$work/stderr"
  status=$?
  [[ $status -eq 2 ]] || fail "nowhere to write: status $status, expected 2"
  grep -q "nowhere to write the results" "$work/stderr" || fail "not said: $(cat "$work/stderr")"
  [[ ! -s "$work/stdout" ]] || fail "nowhere to write, yet it ran: $(cat "$work/stdout")"

  if ((installed_by_us)); then
    dpkg -L kelvane >"$work/files"
    dpkg -P kelvane >"$work/dpkg.log" 2>&1 || fail "dpkg -P: $(tail -n5 "$work/dpkg.log")"
    installed_by_us=0
    dpkg-query -W -f='${Status}' kelvane 2>/dev/null | grep -q installed && fail "still installed"
    while read -r f; do
      # Folders that other packages share stay; everything of its own is gone.
      [[ -d "$f" && ! -L "$f" ]] && [[ $f != /usr/lib/kelvane* ]] && continue
      [[ -e "$f" || -L "$f" ]] && fail "left behind: $f"
    done <"$work/files"
  fi
  ;;
*)
  fail "unknown case"
  ;;
esac
echo "PASS ($case_name)"

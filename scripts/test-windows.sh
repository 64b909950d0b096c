#!/usr/bin/env bash
# Builds ZetMMoveBill.dll for i686 (the product) and x86_64, checks both DLLs'
# exports, imports and embedded type libraries, and runs the Windows tests of
# the x86_64 build under 64-bit Wine (32-bit Wine is not installable on the
# test machines): registration and unregistration, the type libraries, the
# VBScript clients, and the checker of vtable calls, hostile pointers, threads
# and unloading.
#
# Prints PASS/FAIL lines, keeps the full logs under build-win64/tests/com/logs,
# ends with "N passed, M failed" and exits non-zero on any failure.
#
#   KEEP_WINEPREFIX=1  keep build-win64/wineprefix for a look afterwards
#   ONLY_WIN64=1       skip the i686 build and its checks (a quicker local run)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc 2>/dev/null || echo 2)"
started=$SECONDS

passed=0
failed=0
pass() {
  passed=$((passed + 1))
  echo "PASS $*"
}
fail() {
  failed=$((failed + 1))
  echo "FAIL $*"
}
check() {
  local name="$1" actual="$2" expected="$3"
  if [ "$actual" == "$expected" ]; then
    pass "$name"
  else
    fail "$name: got [$actual], expected [$expected]"
  fi
}
phase() { echo "== $* ($((SECONDS - started)) s)"; }
finish() {
  phase "done"
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && exit 0
  exit 1
}

# ---- tools ----
phase "tools"
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v i686-w64-mingw32-g++-win32 >/dev/null || missing+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-win32 >/dev/null || missing+=(g++-mingw-w64-x86-64)
[ -f /usr/include/wine/wine/windows/oaidl.idl ] || missing+=(libwine-dev)
{ command -v widl && command -v winedump; } >/dev/null || missing+=(wine64-tools)
command -v wine >/dev/null || missing+=(wine)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
# zetmovebill.exe reaches SQLite's ODBC driver through Wine's odbc32 and unixODBC.
[ -f /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so ] || missing+=(libsqliteodbc)
command -v odbcinst >/dev/null || missing+=(unixodbc)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}" ||
    { fail "install ${missing[*]}"; finish; }
fi

# ---- build both DLLs ----
logs="$root/build-win64/tests/com/logs"
presets="win32 win64"
[ "${ONLY_WIN64:-0}" == 1 ] && presets=win64
for preset in $presets; do
  phase "build $preset"
  mkdir -p "$root/build-$preset"
  log="$root/build-$preset/build.log"
  if cmake --preset "$preset" >"$log" 2>&1 && cmake --build --preset "$preset" -j "$jobs" >>"$log" 2>&1; then
    pass "build $preset"
    if grep -qi "warning" "$log"; then
      fail "build $preset warning-free (see $log)"
      grep -i "warning" "$log" | head -20
    else
      pass "build $preset warning-free"
    fi
  else
    tail -40 "$log"
    fail "build $preset (see $log)"
    finish
  fi
done
mkdir -p "$logs"

# ---- exports and imports of both DLLs, without running them ----
for arch in $presets; do
  dump="$(x86_64-w64-mingw32-objdump -p "$root/build-$arch/src/com/ZetMMoveBill.dll")"
  exports="$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -o 'Dll[A-Za-z]*' | sort | tr '\n' ' ')"
  check "$arch exports" "$exports" "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
  # Nothing of the MinGW run time may be needed on the suite's machines.
  imports="$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')"
  check "$arch imports only system DLLs" "$imports" "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL USER32.DLL "
done

# ---- Wine ----
phase "wine prefix"
export WINEPREFIX="$root/build-win64/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installers in a test prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
winpath() { printf 'Z:%s' "${1//\//\\}"; }
wine_run() { timeout 120 wine "$@"; }

rm -rf "$WINEPREFIX"
if ! timeout 300 wine wineboot -i >"$logs/wineboot.log" 2>&1; then
  fail "wineboot (see $logs/wineboot.log)"
  finish
fi
# One wine server for the whole run.
timeout 600 wineserver -p 60 >/dev/null 2>&1 &
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ "${KEEP_WINEPREFIX:-0}" == 1 ] || rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

dll64="$root/build-win64/src/com/ZetMMoveBill.dll"
tests="$root/build-win64/tests/com"

# Adds up the PASS and FAIL lines of one test program. Wine's cscript
# reports no script error: a test that stops early shows only by its missing
# last line. The exit status is the program's count of failures, so anything
# else means the process ended badly (a crash on the way out, say).
count_results() {
  local name="$1" out="$2" status="$3" file_failed
  tr -d '\r' <"$out" | grep -E '^(FAIL|NOTE|SKIP)' | sed 's/^/  /' || true
  passed=$((passed + $(tr -d '\r' <"$out" | grep -c '^PASS')))
  file_failed=$(tr -d '\r' <"$out" | grep -c '^FAIL')
  failed=$((failed + file_failed))
  if tr -d '\r' <"$out" | grep -q '^DONE '; then
    pass "$name ran to its end"
  else
    fail "$name stopped early (see $out)"
  fi
  check "$name exit status" "$status" "$file_failed"
}

run_program() {
  local name="$1"
  shift
  phase "$name"
  wine_run "$@" >"$logs/$name.out" 2>&1
  count_results "$name" "$logs/$name.out" $?
}

# Registering and unregistering, twice each, with the registry compared
# before and after in process; this comes first, before the script host
# registers interfaces of its own.
run_program registry "$(winpath "$tests/com_check.exe")" registry "$(winpath "$dll64")"
run_program typelib-win64 "$(winpath "$tests/com_check.exe")" typelib "$(winpath "$dll64")" win64
# The product as installed: stripped of its debugging information, its type
# library intact.
if [ "$presets" != win64 ]; then
  rm -rf "$root/build-win32/dist"
  cmake --install "$root/build-win32" --prefix "$root/build-win32/dist" --strip >/dev/null &&
    pass "install win32 --strip" || fail "install win32 --strip"
  run_program typelib-win32 "$(winpath "$tests/com_check.exe")" typelib \
    "$(winpath "$root/build-win32/dist/bin/ZetMMoveBill.dll")" win32
fi

# The clients below find both servers as an installation registers them.
phase "registration"
for dll in "$tests/ZetTestHost.dll" "$dll64"; do
  wine_run regsvr32 /s "$(winpath "$dll")" && pass "regsvr32 $(basename "$dll")" || fail "regsvr32 $(basename "$dll")"
done

# The VBScript clients, each in a process of its own.
export ZETMOVEBILL_MESSAGE_LOG="$(winpath "$logs/messages.log")"
for test in errors calls; do
  cat "$root/tests/com/vbs/lib.vbs" "$root/tests/com/vbs/$test.vbs" >"$logs/$test.vbs"
  run_program "$test.vbs" cscript //nologo "$(winpath "$logs/$test.vbs")"
done
run_program calls "$(winpath "$tests/com_check.exe")" calls
run_program unload "$(winpath "$tests/com_check.exe")" unload "$(winpath "$dll64")"

phase "unregistration"
for round in 1 2; do
  wine_run regsvr32 /u /s "$(winpath "$dll64")" && pass "regsvr32 /u, time $round" || fail "regsvr32 /u, time $round"
done
wine_run regsvr32 /u /s "$(winpath "$tests/ZetTestHost.dll")" || true

# ---- zetmovebill.exe over ODBC ----
# The demo database made by the Linux tool, with a stock named in several
# scripts; twins of it answer through the Windows tool under Wine, with
# SQLite's ODBC driver, as through the Linux tool on the file.
phase "zetmovebill.exe over ODBC"
exe="$root/build-win64/src/cli/zetmovebill.exe"
imports="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')"
check "zetmovebill.exe imports only system DLLs" "$imports" "KERNEL32.DLL MSVCRT.DLL ODBC32.DLL "
linux="$root/build/src/cli/zetmovebill"
odbc_dir="$root/build-win64/tests/odbc"
rm -rf "$odbc_dir" && mkdir -p "$odbc_dir"
if [ ! -x "$linux" ]; then
  fail "zetmovebill.exe: the Linux build ($linux) makes the demo database; build the default preset first"
elif "$linux" --db "$odbc_dir/file.db" init --demo >/dev/null &&
  sqlite3 "$odbc_dir/file.db" "UPDATE t_Stock SET FName='Zollager Köln 保税仓 😀' WHERE FItemID=3" &&
  cp "$odbc_dir/file.db" "$odbc_dir/odbc.db"; then
  odbc="DRIVER={SQLite3};Database=$odbc_dir/odbc.db"
  while read -r user args; do
    want="$("$linux" --db "$odbc_dir/file.db" --user "$user" $args 2>&1; echo "status $?")"
    got="$(wine_run "$exe" --odbc "$odbc" --user "$user" $args 2>&1 | tr -d '\r'; echo "status ${PIPESTATUS[0]}")"
    check "zetmovebill.exe --user $user $args" "$got" "$want"
  done <<'TABLE'
16394 --json todo
16 --json next 1 1000
27 why 1 1003
17 check 1 1002
25 recent 1
16 open 1 1002
30 --json call GetFirstInterID 21
TABLE
  check "zetmovebill.exe: the twins hold the same rows" "$(sqlite3 "$odbc_dir/odbc.db" .dump)" \
    "$(sqlite3 "$odbc_dir/file.db" .dump)"
  got="$(wine_run "$exe" --odbc "$odbc" init 2>&1 | tr -d '\r'; echo "status ${PIPESTATUS[0]}")"
  check "zetmovebill.exe init over ODBC" "$got" "zetmovebill: init works on a database file (--db) only, not over --odbc
status 2"
  got="$(wine_run "$exe" --odbc "DSN=zet-no-such-dsn" todo 2>&1 | tr -d '\r'; echo "status ${PIPESTATUS[0]}")"
  check "zetmovebill.exe, a DSN that is not there" "${got%%: [[]*}|${got##*$'\n'}" \
    "zetmovebill: cannot connect through ODBC: SQLSTATE IM002|status 4"
else
  fail "zetmovebill.exe: the demo database could not be made in $odbc_dir"
fi

finish

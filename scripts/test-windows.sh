#!/usr/bin/env bash
# Builds ZetMMoveBill.dll for i686 (the product) and x86_64, checks both DLLs'
# exports, imports and embedded type libraries, and runs the Windows tests of
# the x86_64 build under 64-bit Wine (32-bit Wine is not installable on the
# test machines): registration and unregistration, the VBScript clients, and
# the type-library and vtable checker.
#
# Prints PASS/FAIL lines, keeps the full logs under build-win64/tests/com/logs,
# ends with "N passed, M failed" and exits non-zero on any failure.
#
#   KEEP_WINEPREFIX=1  keep build-win64/wineprefix for a look afterwards
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
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}" ||
    { fail "install ${missing[*]}"; finish; }
fi

# ---- build both DLLs ----
logs="$root/build-win64/tests/com/logs"
for preset in win32 win64; do
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

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$root/build-win64/CMakeCache.txt"; }
clsid="{$(cache_value ZET_CLSID)}"
libid="{$(cache_value ZET_LIBID)}"
iid="{$(cache_value ZET_IID)}"

# ---- exports, imports and type library of both DLLs, without running them ----
for arch in win32 win64; do
  phase "$arch DLL"
  dll="$root/build-$arch/src/com/ZetMMoveBill.dll"
  tlb="$root/build-$arch/src/com/generated/ZetMMoveBill.tlb"
  dump="$(x86_64-w64-mingw32-objdump -p "$dll")"
  exports="$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -o 'Dll[A-Za-z]*' | sort | tr '\n' ' ')"
  check "$arch exports" "$exports" "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
  # Nothing of the MinGW run time may be needed on the suite's machines.
  imports="$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')"
  check "$arch imports only system DLLs" "$imports" "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL USER32.DLL "
  # The type library as the file holds it, read by winedump rather than by
  # oleaut32 (which the checker below uses).
  tlbdump="$(winedump "$tlb" 2>/dev/null)"
  syskind=SYS_WIN32
  [ "$arch" == win64 ] && syskind=SYS_WIN64
  check "$arch type library version" "$(echo "$tlbdump" | sed -n 's/^\s*version = //p' | head -1)" "2.0"
  check "$arch type library locale" "$(echo "$tlbdump" | sed -n 's/^\s*lcid = //p' | head -1)" "00000409h"
  check "$arch type library system kind" "$(echo "$tlbdump" | grep -o 'syskind = [A-Z0-9_]*' | head -1)" \
    "syskind = $syskind"
  check "$arch type library DISPIDs" "$(echo "$tlbdump" | sed -n 's/^\s*func [0-9]* id = //p' | tr '\n' ' ')" \
    "60030000h 60030005h 60030007h 60030008h 60030009h 6003000ah "
  check "$arch type library holds two type infos" "$(echo "$tlbdump" | sed -n 's/^\s*ntypeinfos = //p')" "2"
  check "$arch type library imports ADO 2.8" \
    "$(echo "$tlbdump" | grep -c -e 'impfile = .*"msado15.dll"' -e 'guid = {2a75196c-d9eb-4129-b803-931327f72d5c}')" "2"
  check "$arch ABar defaults to Nothing" "$(echo "$tlbdump" | grep -c 'default value.*VT_DISPATCH')" "2"
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

reg_value() {
  # The data of value $2 ("(Default)" for the default one) of key $1.
  wine_run reg query "$1" 2>/dev/null | tr -d '\r' | awk -v name="$2" '
    { line = $0; sub(/^ +/, "", line) }
    index(line, name " ") == 1 { sub(/^[^ ]+ +REG_[A-Z_]+ +/, "", line); print line; exit }'
}
reg_exists() { wine_run reg query "$1" >/dev/null 2>&1 && echo present || echo absent; }
classes_export() { wine_run reg export 'HKLM\Software\Classes' "$(winpath "$1")" /y >/dev/null 2>&1; }

dll64="$root/build-win64/src/com/ZetMMoveBill.dll"
host="$root/build-win64/tests/com/ZetTestHost.dll"
check_exe="$root/build-win64/tests/com/com_check.exe"
ado_interface='HKCR\Interface\{00000556-0000-0010-8000-00AA006D2EA4}'
ado_library='HKCR\TypeLib\{2A75196C-D9EB-4129-B803-931327F72D5C}'

phase "registration"
wine_run regsvr32 /s "$(winpath "$host")" && pass "test host registers" || fail "test host registers"
ado_before="$(wine_run reg query "$ado_interface" /s 2>&1; wine_run reg query "$ado_library" /s 2>&1)"

# Registering and unregistering once, with nothing in between: the class
# registry must come back exactly as it was. (The tests below make Wine
# register its own script host's interfaces, so this is checked first.)
classes_export "$logs/classes-before.reg"
wine_run regsvr32 /s "$(winpath "$dll64")" && pass "regsvr32 ZetMMoveBill.dll" || fail "regsvr32 ZetMMoveBill.dll"
wine_run regsvr32 /u /s "$(winpath "$dll64")" && pass "regsvr32 /u ZetMMoveBill.dll" ||
  fail "regsvr32 /u ZetMMoveBill.dll"
classes_export "$logs/classes-after.reg"
if diff <(iconv -f UTF-16LE -t UTF-8 "$logs/classes-before.reg") <(iconv -f UTF-16LE -t UTF-8 "$logs/classes-after.reg") \
  >"$logs/classes.diff"; then
  pass "class registry as before registration"
else
  fail "class registry as before registration (see $logs/classes.diff)"
  head -20 "$logs/classes.diff"
fi

wine_run regsvr32 /s "$(winpath "$dll64")" && pass "regsvr32 again for the tests" || fail "regsvr32 again for the tests"

prog='HKCR\ZetMMoveBill.clsMoveBill'
class="HKCR\\CLSID\\$clsid"
check "ProgID names the class" "$(reg_value "$prog\\CLSID" "(Default)")" "$clsid"
check "class names its ProgID" "$(reg_value "$class\\ProgID" "(Default)")" "ZetMMoveBill.clsMoveBill"
check "in-process server path" "$(reg_value "$class\\InprocServer32" "(Default)")" "$(winpath "$dll64")"
check "apartment threaded" "$(reg_value "$class\\InprocServer32" ThreadingModel)" "Apartment"
check "class names its type library" "$(reg_value "$class\\TypeLib" "(Default)")" "$libid"
check "class version" "$(reg_value "$class\\Version" "(Default)")" "2.0"
check "type library 2.0, locale 409" "$(reg_value "HKCR\\TypeLib\\$libid\\2.0\\409\\win64" "(Default)")" \
  "$(winpath "$dll64")"
check "interface registered with our library" "$(reg_value "HKCR\\Interface\\$iid\\TypeLib" "(Default)")" "$libid"
ado_registered="$(wine_run reg query "$ado_interface" /s 2>&1; wine_run reg query "$ado_library" /s 2>&1)"
check "ADO's registrations untouched by ours" "$ado_registered" "$ado_before"

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

# ---- the VBScript clients, each in a process of its own ----
messages="$logs/messages.log"
export ZETMOVEBILL_MESSAGE_LOG="$(winpath "$messages")"
for test in check_search_bill navigation todo recent failures service_factory binding; do
  phase "cscript $test.vbs"
  script="$logs/$test.vbs"
  cat "$root/tests/com/vbs/lib.vbs" "$root/tests/com/vbs/$test.vbs" >"$script"
  wine_run cscript //nologo "$(winpath "$script")" >"$logs/$test.out" 2>&1
  status=$?
  count_results "$test.vbs" "$logs/$test.out" "$status"
done

phase "type library and vtable checker"
run_checker() {
  local name="$1"
  shift
  wine_run "$(winpath "$check_exe")" "$@" >"$logs/$name.out" 2>&1
  count_results "$name" "$logs/$name.out" $?
}
run_checker typelib-win64 typelib "$(winpath "$dll64")" win64
run_checker typelib-win32 typelib "$(winpath "$root/build-win32/src/com/ZetMMoveBill.dll")" win32
run_checker calls calls

# ---- unregistration leaves nothing behind ----
phase "unregistration"
wine_run regsvr32 /u /s "$(winpath "$dll64")" && pass "regsvr32 /u ZetMMoveBill.dll" ||
  fail "regsvr32 /u ZetMMoveBill.dll"
check "ProgID removed" "$(reg_exists "$prog")" absent
check "class removed" "$(reg_exists "$class")" absent
check "type library removed" "$(reg_exists "HKCR\\TypeLib\\$libid")" absent
check "interface removed" "$(reg_exists "HKCR\\Interface\\$iid")" absent
ado_after="$(wine_run reg query "$ado_interface" /s 2>&1; wine_run reg query "$ado_library" /s 2>&1)"
check "ADO's registrations still there" "$ado_after" "$ado_before"
wine_run regsvr32 /u /s "$(winpath "$host")" || true

finish

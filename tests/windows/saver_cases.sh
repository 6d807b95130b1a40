#!/usr/bin/env bash
# Black-box cases on the real harbor-lights.scr under Wine, one per call:
#
#   saver_cases.sh CASE
#
# Runs inside the Wine session (wine_session.sh exec): DISPLAY, WINEPREFIX and
# HL_WINE64 come from there; HL_SCR names the program, HL_TEST_TOOLS the folder
# of the small Windows test programs. Every Wine call runs under timeout; a
# saver this script started and that outlives its case is ended by its PID.
set -Eeuo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND"' ERR

: "${HL_WINE64:?run inside wine_session.sh exec}" "${HL_SCR:?}" "${HL_TEST_TOOLS:?}" "${HL_WINE_SESSION:?}"
[ -f "$HL_SCR" ] || { echo "FAIL: $HL_SCR was not built" >&2; exit 1; }

work="$HL_WINE_SESSION/work/$1"
rm -rf "$work"
mkdir -p "$work"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

wine() { timeout -k 5 "${HL_CALL_TIMEOUT:-60}" "$HL_WINE64" "$@"; }
tool() {
  local name="$1"
  shift
  wine "$HL_TEST_TOOLS/hl_$name.exe" "$@"
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

readonly saver_key='HKCU\Control Panel\Desktop'
readonly system_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Screen Savers'
readonly own_key='HKCU\Software\Qz\Harbor Lights'
readonly version_key='HKCU\Software\Wine\AppDefaults\harbor-lights.scr'

reg_clear() {
  local key
  for key in "$system_key" "$own_key" "$version_key"; do
    wine reg delete "$key" /f >/dev/null 2>&1 || true
  done
}
reg_dword() { wine reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f >/dev/null; }
# The stored value of UseMirrors as "REG_DWORD 0x1", or "none".
use_mirrors() {
  local out
  if out="$(wine reg query "$own_key" /v UseMirrors 2>/dev/null)"; then
    awk '$1 == "UseMirrors" { print $2, $3 }' <<<"$out" | tr -d '\r'
  else
    echo none
  fi
}

# The saver in the background, under timeout; its PID in $saver.
saver=""
start_saver() {
  timeout -k 5 120 "$HL_WINE64" "$program" "$@" >"$work/saver.out" 2>&1 &
  saver=$!
}
running() { [ -n "$saver" ] && kill -0 "$saver" 2>/dev/null; }
# Waits up to $1 seconds for the saver to end; its status in $status.
status=""
wait_saver() {
  local deadline=$((SECONDS + $1))
  while running && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
  if running; then
    status="still running"
    return 1
  fi
  status=0
  wait "$saver" || status=$?
  saver=""
}
end_saver() {
  if running; then
    kill "$saver" 2>/dev/null || true
    wait "$saver" 2>/dev/null || true
  fi
  saver=""
}
trap end_saver EXIT

# The program, copied into this case's folder: a PASSWORD.CPL beside it is
# the first one it loads.
program="$work/harbor-lights.scr"
cp "$HL_SCR" "$program"

# xdotool gives up with BadWindow when a window it is looking at goes away
# under it (the previous saver's, still being torn down): look again.
saver_x_window() {
  local attempt window
  for attempt in 1 2 3 4 5; do
    window="$(timeout 30 xdotool search --sync --onlyvisible --name '^SaverWindow$' 2>/dev/null | head -1)"
    if [ -n "$window" ]; then
      echo "$window"
      return 0
    fi
    sleep 0.5
  done
  return 1
}
key_to_saver() {
  local window
  window="$(saver_x_window)" || return 1
  timeout 10 xdotool windowfocus --sync "$window" key "$1"
}
pointer_home() {
  timeout 10 xdotool mousemove 512 384
  sleep 0.2
}
move() { timeout 10 xdotool mousemove_relative -- "$1" "$2"; }

# Starts the full-screen saver with the pointer at the screen's centre and
# waits until its window covers the screen.
start_full_screen() {
  pointer_home
  start_saver /s
  tool send_to_saver wait || fail "the saver's window did not come up as designed"
  saver_x_window >/dev/null || fail "no X window named SaverWindow"
  sleep 0.5
}

# After $1, what the case just did: the saver still runs a moment later, or
# it has ended with status 0.
expect_kept() {
  sleep 1.5
  running || fail "the saver ended after $1"
}
expect_ended() {
  wait_saver 10 || true
  [ "$status" = 0 ] || fail "after $1 the saver: $status"
}

case_full_screen_draws_and_a_key_ends_it() {
  reg_clear
  start_full_screen
  # The first frames take a moment under Wine; look until they show.
  local shot="$work/screen.ppm" ok=""
  for _ in $(seq 20); do
    timeout 20 import -window root -depth 8 "ppm:$shot"
    if tool frame_check "$(windows_path "$shot")" >"$work/frame_check.txt"; then
      ok=1
      break
    fi
    running || break
    sleep 0.5
  done
  cat "$work/frame_check.txt"
  [ -n "$ok" ] || fail "no kaleidoscope on the screen; screenshot kept at $shot"
  running || fail "the saver ended on its own"
  key_to_saver a || fail "xdotool could not send a key"
  expect_ended "a key"
}

case_mouse_travel_of_50_keeps_it_51_ends_it() {
  reg_clear
  local row dx dy
  # dx dy of the first move (exactly the threshold), then the one pixel more.
  for row in "50 -50 1 0" "-50 50 0 1" "0 -50 0 -1"; do
    read -r dx dy ex ey <<<"$row"
    start_full_screen
    move "$dx" "$dy"
    expect_kept "travel ($dx, $dy)"
    move "$ex" "$ey"
    expect_ended "travel ($((dx + ex)), $((dy + ey)))"
    end_saver
  done
}

# Buttons and keys: what ends the saver, and what it does not watch (Alt
# keys and F10 are system keys; Alt+F4's SC_CLOSE is swallowed; the wheel is
# not a button). A row that keeps the saver then checks that a key still
# ends it.
case_buttons_and_keys() {
  reg_clear
  local row what ends window
  for row in "click 1:yes" "click 3:yes" "click 2:yes" "key alt+F4:no" "key alt+a:no" "key F10:no" "click 4:no"; do
    what="${row%%:*}"
    ends="${row##*:}"
    start_full_screen
    window="$(saver_x_window)"
    # shellcheck disable=SC2086
    timeout 10 xdotool windowfocus --sync "$window" $what || fail "xdotool $what"
    if [ "$ends" = yes ]; then
      expect_ended "$what"
    else
      expect_kept "$what"
      key_to_saver a
      expect_ended "a key after $what"
    fi
    end_saver
  done
}

case_mouse_threshold_from_the_registry() {
  reg_clear
  reg_dword "$system_key" "Mouse Threshold" 200
  start_full_screen
  move 150 -200
  expect_kept "travel of 200 with a threshold of 200"
  move 51 0
  expect_ended "travel of 201 with a threshold of 200"
  end_saver
  reg_dword "$system_key" "Mouse Threshold" 0
  start_full_screen
  move 1 0
  expect_ended "one pixel with a threshold of 0"
}

# Where the system is not of the NT family, a close after the password delay
# asks PASSWORD.CPL; within the delay it never asks. Wine reports the
# Windows 98 family for this program when told to.
case_password_delay_from_the_registry() {
  reg_clear
  cp "$HL_TEST_TOOLS/PASSWORD.CPL" "$work/"
  HL_PASSWORD_LOG="$(windows_path "$work/password.log")"
  export HL_PASSWORD_LOG
  wine reg add "$version_key" /v Version /t REG_SZ /d win98 /f >/dev/null

  # Delay 600 s: the close goes through at once, nothing is asked.
  reg_dword "$system_key" "Password Delay" 600
  export HL_PASSWORD_ANSWER=0
  start_full_screen
  key_to_saver a
  expect_ended "a key within the password delay"
  [ ! -s "$work/password.log" ] || fail "a password was asked within the delay"

  # Delay 0: the close asks; a refused password keeps the saver, and the
  # next input asks again.
  reg_dword "$system_key" "Password Delay" 0
  start_full_screen
  sleep 0.2
  key_to_saver a
  expect_kept "a refused password"
  local asked
  asked="$(grep -c asked "$work/password.log" 2>/dev/null || true)"
  [ "${asked:-0}" -ge 1 ] || fail "no password was asked after the delay"
  # An accepted password ends it.
  end_saver
  export HL_PASSWORD_ANSWER=1
  start_full_screen
  sleep 0.2
  key_to_saver a
  expect_ended "an accepted password"

  # On the NT family nothing is asked, whatever the delay.
  wine reg delete "$version_key" /f >/dev/null
  : >"$work/password.log"
  export HL_PASSWORD_ANSWER=0
  start_full_screen
  sleep 0.2
  key_to_saver a
  expect_ended "a key on the NT family"
  [ ! -s "$work/password.log" ] || fail "a password was asked on the NT family"
}

case_close_from_another_program_is_ignored() {
  reg_clear
  # Were SC_SCREENSAVE passed on to the system, this is the saver it would start.
  wine reg add "$saver_key" /v SCRNSAVE.EXE /t REG_SZ /d "$(windows_path "$program")" /f >/dev/null
  start_full_screen
  tool send_to_saver close || fail "the saver did not ignore another program's close"
  running || fail "the saver ended"
  key_to_saver a
  expect_ended "a key after the ignored close"
  wine reg delete "$saver_key" /v SCRNSAVE.EXE /f >/dev/null 2>&1 || true
}

case_preview_child_lives_with_its_host() {
  reg_clear
  local size
  for size in "152 112" "200 150"; do
    # shellcheck disable=SC2086
    tool preview_host "$(windows_path "$program")" $size || fail "preview in a ${size/ /x} host"
  done
}

case_bare_preview_and_unknown_switch_end_at_once() {
  reg_clear
  local args started
  # A preview without a window to draw in, and switches that run nothing.
  for args in "/p" "/P 0" "/l:" "/x" "-" "/"; do
    started=$SECONDS
    # shellcheck disable=SC2086
    start_saver $args
    if ! wait_saver 15; then
      fail "'$args' still runs after 15 s"
      end_saver
      continue
    fi
    [ "$status" = 0 ] || fail "'$args' ended with status $status"
    echo "'$args': status $status after $((SECONDS - started)) s"
  done
}

case_change_password_ends_quietly() {
  reg_clear
  local args
  for args in "/a 42" "/A" "-a:0"; do
    # shellcheck disable=SC2086
    start_saver $args
    wait_saver 15 || { fail "'$args' still runs after 15 s"; end_saver; continue; }
    [ "$status" = 0 ] || fail "'$args' ended with status $status"
    [ ! -s "$work/saver.out" ] || fail "'$args' printed: $(cat "$work/saver.out")"
  done
}

# Runs the dialog with /c and answers it with the inspector; the option the
# dialog showed is left in $shown.
shown=""
dialog() {
  local action="$1" out
  start_saver /c
  out="$(tool dialog_inspector "$@")" || fail "dialog inspector, $action: $out"
  shown="$(sed -n 's/^checked=//p' <<<"$out" | tr -d '\r')"
  wait_saver 10 || true
  [ "$status" = 0 ] || fail "/c after $action: $status"
  end_saver
}

case_config_dialog_layout() {
  reg_clear
  dialog layout "$(windows_path "$program")"
  [ "$(use_mirrors)" = none ] || fail "the layout check's Cancel wrote $(use_mirrors)"
}

case_config_dialog_ok_writes_the_option() {
  reg_clear
  local row action want_shown want_stored
  # action, the option shown when the dialog opens, what is stored after.
  for row in "ok 1 REG_DWORD_0x1" "toggle-ok 1 REG_DWORD_0x0" "cancel 0 REG_DWORD_0x0" \
             "ok 0 REG_DWORD_0x0" "toggle-ok 0 REG_DWORD_0x1" "cancel 1 REG_DWORD_0x1"; do
    read -r action want_shown want_stored <<<"$row"
    dialog "$action"
    [ "$shown" = "$want_shown" ] || fail "$action: the dialog showed $shown, not $want_shown"
    [ "$(use_mirrors)" = "${want_stored//_0x/ 0x}" ] || fail "$action: stored $(use_mirrors), not ${want_stored//_0x/ 0x}"
  done
}

case_config_dialog_cancel_escape_and_close_write_nothing() {
  local action
  for action in cancel escape close; do
    reg_clear
    dialog "$action"
    [ "$(use_mirrors)" = none ] || fail "$action wrote $(use_mirrors)"
    # With a stored 0 the option shows cleared; escape and close flip it
    # first, so a save would store 1.
    reg_dword "$own_key" UseMirrors 0
    dialog "$action"
    [ "$shown" = 0 ] || fail "$action: a stored 0 showed as $shown"
    [ "$(use_mirrors)" = "REG_DWORD 0x0" ] || fail "$action changed the stored 0 to $(use_mirrors)"
  done
}

case_resources_in_the_built_file() {
  tool resource_inspector "$(windows_path "$program")" || fail "the resources differ from the design"
}

name="case_$1"
if ! declare -F "$name" >/dev/null; then
  echo "saver_cases.sh: no case $1" >&2
  exit 2
fi
"$name"
if [ "$failures" -ne 0 ]; then
  echo "$1: $failures failed checks (files in $work)"
  exit 1
fi
echo "$1: passed"

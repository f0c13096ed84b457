#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# QMP, QEMU's machine protocol, over its unix socket: one command a call.
#
#   qmp SOCKET COMMAND_JSON [EVENT_PATTERN [SECONDS]]
#
# Negotiates the capabilities, sends the command and prints QEMU's "return"
# line. With EVENT_PATTERN (an extended regular expression) it also waits for
# an event line that matches it: device_del's DEVICE_DELETED may come before
# or after the return. Fails with QEMU's reason on stderr when the command is
# refused, and when nothing comes within SECONDS (20).
#
# Sourced, it defines the function; run, it runs it with its arguments.

qmp() {
  local socket=$1 command=$2 event=${3:-} limit=${4:-20}
  local deadline=$((${EPOCHREALTIME/./} / 1000 + limit * 1000)) line answer="" seen="" status=0 in out
  if ! [ -S "$socket" ]; then
    echo "qmp: no socket $socket" >&2
    return 1
  fi
  coproc QMP_LINK { exec socat -t 2 - "UNIX-CONNECT:$socket" 2>/dev/null; }
  exec {in}<&"${QMP_LINK[0]}" {out}>&"${QMP_LINK[1]}"
  local link=$QMP_LINK_PID

  # The next line from QEMU within what is left of the time; fails at the end.
  qmp_line() {
    local left=$((deadline - ${EPOCHREALTIME/./} / 1000))
    [ "$left" -gt 0 ] || return 1
    IFS= read -r -t "$((left / 1000)).$(printf '%03d' $((left % 1000)))" line <&"$in"
  }
  # Reads until a "return" (kept in $answer) or an "error" (fails); an event
  # that matches is noted on the way.
  qmp_answer() {
    while qmp_line; do
      if [ -n "$event" ] && [[ $line =~ $event ]]; then
        seen=$line
      elif [[ $line == *'"error"'* ]]; then
        echo "qmp: $command: $line" >&2
        return 2
      elif [[ $line == *'"return"'* ]]; then
        answer=$line
        return 0
      fi
    done
    echo "qmp: $command: no answer within ${limit} s" >&2
    return 1
  }

  if ! qmp_line || [[ $line != *'"QMP"'* ]]; then
    echo "qmp: no greeting on $socket" >&2
    status=1
  elif printf '%s\n' '{"execute": "qmp_capabilities"}' >&"$out" && ! qmp_answer; then
    status=1
  elif printf '%s\n' "$command" >&"$out" && ! qmp_answer; then
    status=2
  else
    while [ -n "$event" ] && [ -z "$seen" ]; do
      if ! qmp_line; then
        echo "qmp: $command: no event matching $event within ${limit} s" >&2
        status=3
        break
      fi
      [[ $line =~ $event ]] && seen=$line
    done
  fi
  exec {in}<&- {out}>&-
  kill "$link" 2>/dev/null
  wait "$link" 2>/dev/null
  [ "$status" -eq 0 ] && printf '%s\n' "$answer"
  return "$status"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  [ $# -ge 2 ] || { echo "usage: qmp.sh SOCKET COMMAND_JSON [EVENT_PATTERN [SECONDS]]" >&2; exit 2; }
  qmp "$@"
fi

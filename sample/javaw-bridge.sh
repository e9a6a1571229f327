#!/usr/bin/env bash
# Runs the machine's Java for javaw_bridge.exe under Wine: the options as
# given, the archive after -jar converted from its Windows form, and Java's
# exit status written to the status file (given first) when it ends. What
# Java prints goes to the file TARNIX_SAMPLE_REPORT names, when it is set:
# Wine gives a Linux program started from a GUI program no usable output.
set -uo pipefail

# The Linux form of a Windows path, with the drive links resolved: a drive
# link's name holds a colon, which Java would take for a class path separator.
linux_path() {
    realpath -m "$(winepath -u "$1" 2>/dev/null)"
}

status_file=$(linux_path "$1")
shift
arguments=()
while [ $# -gt 0 ]; do
    if [ "$1" = -jar ] && [ $# -ge 2 ]; then
        arguments+=(-jar "$(linux_path "$2")")
        shift 2
    else
        arguments+=("$1")
        shift
    fi
done
if [ -n "${TARNIX_SAMPLE_REPORT:-}" ]; then
    echo "Javaw.exe command line: ${TARNIX_BRIDGE_COMMAND_LINE:-}" >>"$TARNIX_SAMPLE_REPORT"
    java "${arguments[@]}" >>"$TARNIX_SAMPLE_REPORT" 2>&1
else
    java "${arguments[@]}"
fi
status=$?
echo "$status" >"$status_file.partial"
mv "$status_file.partial" "$status_file"

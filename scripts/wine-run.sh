#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's settings; its exit code comes back.
# CTest runs the cross-compiled tests through this script.
source "$(dirname "$0")/wine-env.sh"
exec wine "$@" </dev/null

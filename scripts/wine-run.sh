#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's settings; its exit code comes back.
# CTest runs the cross-compiled tests through this script. Standard input is /dev/null, or the
# file VORN_WINE_STDIN names, for a program that reads it.
source "$(dirname "$0")/wine-env.sh"
exec wine "$@" <"${VORN_WINE_STDIN:-/dev/null}"

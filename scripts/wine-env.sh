# Sourced by the scripts that run Windows programs: the Wine settings every run shares.
#   WINEPREFIX   the Wine installation to use; by default one inside build/, made on first use
#   WINEDEBUG    -all: no debugging chatter on stderr
#   WINEDLLOVERRIDES  no .NET or HTML engine to offer for download, and no debugger: a crashing
#                program then ends with a non-zero code instead of writing a crash dump to its
#                own stdout
# Nothing may open a window, so the X display is forgotten.
wine_scripts=$(cd "$(dirname "${BASH_SOURCE[0]:-$0}")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$(dirname "$wine_scripts")/build/wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY

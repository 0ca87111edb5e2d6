#!/bin/sh
# Shows the sample folder to a new user: in the explorer window when it is built and a display is
# available, otherwise as the descriptions that lmpinfo prints for every file in it.
# Usage: show-samples.sh BUILD_DIR SAMPLES_DIR
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SAMPLES_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
samples=$2

if [ ! -d "$samples" ]; then
    echo "No sample folder at $samples; make it with $build/tools/lmp-samples $samples" >&2
    exit 1
fi

print_descriptions() {
    echo "Sample folder $samples, as lmpinfo describes it:"
    echo
    "$build/cli/lmpinfo" "$samples"
}

# The one place that decides between the window and the text.
if [ -x "$build/gui/lmpexplorer" ]; then
    if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
        cd "$samples"
        exec "$build/gui/lmpexplorer"
    fi
    echo "No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the explorer window"
    echo "cannot open."
    echo
fi
print_descriptions

#!/usr/bin/env bash
# The MPEG codec fuzz target (see fuzz/run-fuzz.sh).
#   fuzz/run-mpeg-fuzz.sh [SECONDS] [JOBS]
exec "$(dirname "$0")/run-fuzz.sh" mpeg_codec "$@"

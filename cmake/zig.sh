#!/bin/sh
# Runs the pinned zig (cmake/zig-requirements.txt), which scripts/install-deps.sh
# arm64 puts in build/arm64-windows-tools/zig; its cache stays beside it.
tools="$(cd "$(dirname "$0")/.." && pwd)/build/arm64-windows-tools"
export ZIG_GLOBAL_CACHE_DIR="$tools/zig-cache" ZIG_LOCAL_CACHE_DIR="$tools/zig-cache"
exec "$tools/zig/bin/python3" -m ziglang "$@"

#!/bin/sh
# libVantrel.so exports StartFunc and StopFunc, as C functions, and nothing else.
set -eu
exports=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ')
echo "exports: $exports"
[ "$exports" = "StartFunc StopFunc " ]

#!/bin/sh
# Installs what is missing, builds, and starts the console.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/bin/fleetwarden "$@"

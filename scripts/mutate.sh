#!/usr/bin/env bash
# Mutation pass: applies each one-line mutation of scripts/mutations.txt in a scratch worktree
# under build/mutate, rebuilds, runs the tests and reports caught and survived mutations.
#   scripts/mutate.sh [--only N,M-K,...] [--list FILE] [--work DIR] [--newest-first]
# CPU heavy: run it with nice on a shared machine.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutate.py "$@"

#!/usr/bin/env bash
# Prints messages.post_us (median cost of a PostMessage from another thread of the
# process) and messages.send_xproc_us (median round trip of a SendMessage to a window of
# another process).
set -euo pipefail
exec "${UMBRAVIA_BUILD:?}/bench/bench_messages"

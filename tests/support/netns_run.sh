#!/bin/sh
# Runs a test program in a private network namespace with only loopback up, so it can use the
# recorder's fixed ports (2200, 2201) while other tests run beside it. Exits 77 (skipped) with a
# message where no namespace can be made (not root, no unshare or ip).
if [ "${FLEET_IN_NETNS:-0}" = 1 ]; then exec "$@"; fi
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac  # listing the tests needs no network
if ! unshare -n true 2>/dev/null || ! command -v ip >/dev/null; then
    echo "skipped: a private network namespace cannot be made here (needs root, unshare and ip)" >&2
    exit 77
fi
exec unshare -n sh -c 'ip link set lo up && FLEET_IN_NETNS=1 exec "$@"' netns_run "$@"

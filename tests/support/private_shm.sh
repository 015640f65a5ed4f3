#!/bin/sh
# Runs a command with a /dev/shm of its own where it can (as root, with unshare): JACK keeps a
# registry of at most eight servers there, and a killed server's entry and segments stay behind,
# so the private servers of one run would otherwise crowd out, or resize under, those of the next.
# Elsewhere the command runs as it is.
#   private_shm.sh COMMAND [ARGS...]
if [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
  exec unshare -m sh -c 'mount -t tmpfs -o mode=1777 tmpfs /dev/shm && exec "$@"' private_shm "$@"
fi
exec "$@"

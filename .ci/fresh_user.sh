#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A user who is not root, seen from a private mount namespace so that the machine's own
# files stay as they are: the user is added through a copy of /etc/passwd mounted over it.
#   .ci/fresh_user.sh sudo    with empty package lists, and with the machine's, and googletest
#                             taken out of a copy of dpkg's status: install-deps.sh must end
#                             with the one sudo line naming googletest, fail, and call
#                             nothing "not available".
#   .ci/fresh_user.sh clone   `make test` in a fresh clone with a fresh HOME and TMPDIR
#                             writes nothing anywhere else.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != inside ]; then
    exec unshare -m --propagation private "$0" inside "$@"
fi
# A number no account has, and, drawn from 20000 up, unlikely to be another check's.
uid=$((20000 + $$ % 40000))
while cut -d: -f3 /etc/passwd | grep -qx "$uid"; do uid=$((uid + 1)); done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp /etc/passwd "$work/passwd" && echo "kopc-ci:x:$uid:$uid::$work/home:/bin/sh" >> "$work/passwd"
mount --bind "$work/passwd" /etc/passwd
mkdir "$work/home" "$work/tmp" && chown "$uid:$uid" "$work/home" "$work/tmp"
# The machine's proxy and the certificate that Node.js must trust behind it pass through.
keep=$(for v in NODE_EXTRA_CA_CERTS https_proxy HTTPS_PROXY no_proxy NO_PROXY; do [ -z "${!v:-}" ] || echo "$v=${!v}"; done)
as_user() { setpriv --reuid="$uid" --regid="$uid" --clear-groups env -i PATH="$PATH" \
    HOME="$work/home" TMPDIR="$work/tmp" LANG=C.UTF-8 $keep "$@"; }

if [ "${2:-}" = sudo ]; then
    cp .ci/install-deps.sh "$work/"
    awk -v RS= -v ORS='\n\n' '$0 !~ /^Package: googletest\n/' /var/lib/dpkg/status > "$work/status"
    mount --bind "$work/status" /var/lib/dpkg/status
    for lists in empty "the machine's"; do
        [ "$lists" = empty ] && mount -t tmpfs tmpfs /var/lib/apt/lists && mount -t tmpfs tmpfs /var/cache/apt
        status=0
        as_user bash "$work/install-deps.sh" > "$work/out.txt" 2>&1 || status=$?
        cat "$work/out.txt"
        if [ "$status" = 0 ] || grep -q "not available" "$work/out.txt" || [ "$(tail -n 1 "$work/out.txt")" != \
                "  sudo apt-get update && sudo apt-get install -y googletest" ]; then exit 1; fi
        echo "with $lists package lists: the one sudo line, status $status"
        [ "$lists" = empty ] && umount /var/cache/apt /var/lib/apt/lists
    done
    exit 0
fi

[ "${2:-}" = clone ] || { echo "usage: .ci/fresh_user.sh sudo|clone"; exit 2; }
# Its own copy of every object: a clone sharing them by hard links would hand this
# checkout's objects to the user with them.
git clone -q --no-hardlinks "$PWD" "$work/clone" && chown -R "$uid:$uid" "$work/clone"
touch "$work/stamp"
sleep 1
as_user make -C "$work/clone" test JOBS=2 KOPC_NO_INSTALL=1 KOPC_NO_SKIP=1 > "$work/test.log" 2>&1 ||
    { cat "$work/test.log"; exit 1; }
tail -n 4 "$work/test.log"
outside=$(find / -xdev -user "$uid" -newer "$work/stamp" | grep -v "^$work/\(clone\|tmp\)\(/\|$\)" || true)
[ -z "$outside" ] || { echo "make test wrote outside the clone and its TMPDIR:"; echo "$outside"; exit 1; }
echo "make test as user $uid wrote nothing outside the clone and $work/tmp"

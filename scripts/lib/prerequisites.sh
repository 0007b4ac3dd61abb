# What the project needs from Debian 12: the packages of scripts/packages.txt and the pt_BR.UTF-8
# locale the tests and the demo use. Sourced by scripts/setup, scripts/demo and scripts/test (with
# $repo set to the checkout): the check costs one dpkg-query and one `locale -a`, so a machine that
# has everything starts at once; only what is missing is installed.
#
# VOP_PACKAGES names another package list (the tests use one with a package that does not exist).

prereq_list="${VOP_PACKAGES:-$repo/scripts/packages.txt}"
prereq_name="$(basename "$0")"

# How apt-get says that it did not reach the archive at all (a 404 of stale lists is not this).
prereq_unreachable='Could not resolve|Temporary failure resolving|Could not connect|Unable to connect|Network is unreachable|Connection refused|Connection timed out|No route to host'

prereq_say() { printf '%s: %s\n' "$prereq_name" "$*" >&2; }

prereq_wanted() { grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$prereq_list"; }

# Prints the packages of the list that are not installed, one a line.
prereq_missing_packages() {
    local wanted
    mapfile -t wanted < <(prereq_wanted)
    [ "${#wanted[@]}" -gt 0 ] || return 0
    # Names dpkg has never heard of go to stderr and count as missing, like removed ones ("rc").
    { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${wanted[@]}" 2>/dev/null || true; } \
        | awk 'NR == FNR { if ($1 == "ii") have[$2] = 1; next } !($0 in have)' - <(printf '%s\n' "${wanted[@]}")
}

prereq_has_locale() { locale -a 2>/dev/null | grep -qix 'pt_BR.utf8'; }

# Checks, and installs what is missing; silent when nothing is. Returns non-zero with a message that
# says what is still missing (and what did get installed) when it cannot complete.
prereq_ensure() {
    local missing locale_missing=0
    mapfile -t missing < <(prereq_missing_packages)
    prereq_has_locale || locale_missing=1
    [ "${#missing[@]}" -eq 0 ] && [ "$locale_missing" = 0 ] && return 0

    local what="${missing[*]}"
    [ "$locale_missing" = 1 ] && what="${what:+$what, }the pt_BR.UTF-8 locale"
    prereq_say "missing: $what"
    local as_root=()
    if [ "$(id -u)" != 0 ]; then
        if ! command -v sudo >/dev/null; then
            local command="apt-get install -y --no-install-recommends ${missing[*]}"
            [ "${#missing[@]}" -eq 0 ] && command="scripts/setup"
            prereq_say "installing needs root, and sudo is not here: run as root: $command"
            [ "${#missing[@]}" -gt 0 ] && prereq_say "(or run scripts/setup as root, which also makes the locale)"
            return 1
        fi
        as_root=(sudo)
    fi
    if [ "${#missing[@]}" -gt 0 ]; then
        prereq_install_packages "${as_root[@]}" -- "${missing[@]}" || return 1
    fi
    if [ "$locale_missing" = 1 ]; then
        prereq_make_locale "${as_root[@]}" || return 1
    fi
    return 0
}

# prereq_install_packages [sudo] -- PACKAGES...
prereq_install_packages() {
    local as_root=()
    while [ "$1" != -- ]; do as_root+=("$1"); shift; done
    shift
    local log status
    log="$(mktemp)"
    export DEBIAN_FRONTEND=noninteractive
    # apt-get speaks English here, so that its messages can be read for the cause below.
    prereq_say "installing: $*"
    prereq_services_held "${as_root[@]}"
    # The machine's package lists are tried first; they are refreshed only when they do not know a
    # package or point at files the archive no longer has, so a machine offline can still use them.
    "${as_root[@]}" env LC_ALL=C.UTF-8 apt-get install -y -q --no-install-recommends "$@" 2>&1 | tee "$log" >&2
    status=${PIPESTATUS[0]}
    # An archive that cannot be reached at all would not give newer lists either.
    if [ "$status" != 0 ] && ! grep -qE "$prereq_unreachable" "$log"; then
        prereq_say "refreshing the package lists (apt-get update) and trying again"
        "${as_root[@]}" env LC_ALL=C.UTF-8 apt-get update -q 2>&1 | tee -a "$log" >&2
        "${as_root[@]}" env LC_ALL=C.UTF-8 apt-get install -y -q --no-install-recommends "$@" 2>&1 | tee -a "$log" >&2
        status=${PIPESTATUS[0]}
    fi
    prereq_services_released "${as_root[@]}"
    # dpkg says what is there now, whatever apt-get managed before it stopped.
    local still done_=() wanted
    still="$(prereq_missing_packages)"
    for wanted in "$@"; do
        grep -qxF -- "$wanted" <<< "$still" || done_+=("$wanted")
    done
    if [ "$status" = 0 ] && [ -z "$still" ]; then
        rm -f "$log"
        return 0
    fi
    local cause="apt-get failed (its messages are above)"
    if grep -qE "$prereq_unreachable" "$log"; then
        cause="the package archive cannot be reached (no network?)"
    elif grep -q 'Unable to locate package' "$log"; then
        cause="the archive has no package named $(grep -o 'Unable to locate package .*' "$log" | sed 's/Unable to locate package //' | sort -u | tr '\n' ' ')"
    fi
    rm -f "$log"
    prereq_say "could not install everything: $cause"
    prereq_say "  installed now: ${done_[*]:-none}"
    prereq_say "  still missing: $(tr '\n' ' ' <<< "$still")"
    return 1
}

# No package may start a service while it installs: vsftpd, started as the system's FTP server on
# 0.0.0.0:21, would take port 21 from every loopback address the tests and benchmarks serve on (the
# benchmarks start a vsftpd of their own, with their own configuration). A policy-rc.d that refuses
# every start is put in place for the install, unless the machine has one, and taken away after.
prereq_policy_made=0
prereq_services_held() {
    [ -e /usr/sbin/policy-rc.d ] && return 0
    printf '#!/bin/sh\n# scripts/setup: no service starts while packages install\nexit 101\n' \
        | "$@" tee /usr/sbin/policy-rc.d >/dev/null && "$@" chmod 755 /usr/sbin/policy-rc.d && prereq_policy_made=1
}

# Takes the policy away again, and keeps vsftpd from starting at boot (its own unit would).
prereq_services_released() {
    if [ "$prereq_policy_made" = 1 ]; then
        "$@" rm -f /usr/sbin/policy-rc.d
        prereq_policy_made=0
    fi
    command -v vsftpd >/dev/null || [ -x /usr/sbin/vsftpd ] || return 0
    if [ -d /run/systemd/system ]; then
        "$@" systemctl disable --now vsftpd >/dev/null 2>&1 || true
    elif command -v update-rc.d >/dev/null; then
        "$@" update-rc.d vsftpd disable >/dev/null 2>&1 || true
    fi
}

prereq_make_locale() {
    local as_root=("$@")
    if ! command -v locale-gen >/dev/null; then
        prereq_say "the pt_BR.UTF-8 locale cannot be made: locale-gen (package locales) is missing"
        return 1
    fi
    prereq_say "making the pt_BR.UTF-8 locale"
    "${as_root[@]}" sed -i 's/^# *pt_BR.UTF-8 UTF-8/pt_BR.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^pt_BR.UTF-8 UTF-8' /etc/locale.gen \
        || echo 'pt_BR.UTF-8 UTF-8' | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
    "${as_root[@]}" locale-gen >&2 || true
    prereq_has_locale && return 0
    prereq_say "the pt_BR.UTF-8 locale could not be made (see locale-gen's messages above)"
    return 1
}

#!/bin/bash
# Installs what building Vorn and its tests needs (g++, CMake, GoogleTest)
# from Debian's packages, only when something is missing; works as root
# without sudo, and with sudo for another user.
set -euo pipefail
need=()
command -v g++ > /dev/null 2>&1 || need+=(g++)
command -v cmake > /dev/null 2>&1 || need+=(cmake)
command -v make > /dev/null 2>&1 || need+=(make)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ ${#need[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y "${need[@]}"

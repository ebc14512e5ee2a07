#!/usr/bin/env bash
# Installs the Debian packages that are missing.
#   setup.sh           what building and running the program need (scripts/packages.txt)
#   setup.sh bench     that and what the benchmarks need (scripts/packages-bench.txt)
#   setup.sh test      everything: also the tests, the fuzzing and the clang build
#                      (scripts/packages-test.txt), and the German locale the tests run under
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

lists=("$here/packages.txt")
locale_needed=0
case "${1:-}" in
  '') ;;
  bench) lists+=("$here/packages-bench.txt") ;;
  test) lists+=("$here/packages-bench.txt" "$here/packages-test.txt"); locale_needed=1 ;;
  *) echo "usage: $0 [bench|test]" >&2; exit 2 ;;
esac

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for list in "${lists[@]}"; do
  while read -r pkg; do
    case "$pkg" in ''|'#'*) continue ;; esac
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done < "$list"
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$locale_needed" -eq 1 ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ -f /etc/locale.gen ] && ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi

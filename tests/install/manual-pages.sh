#!/usr/bin/env bash
# Each installed command's manual page exists, renders without a groff warning and lists every
# option its --help shows, with the same description.
# Arguments: pairs of executable and its compressed page.
set -euo pipefail
export QT_QPA_PLATFORM=offscreen
failed=0
fail() {
  echo "manual pages: $*" >&2
  failed=1
}
while [ $# -ge 2 ]; do
  exe=$1 page=$2
  shift 2
  name=$(basename "$exe")
  [ -s "$page" ] || { fail "$page is missing"; continue; }
  warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1) || true
  [ -z "$warnings" ] || fail "$name: groff warns: $warnings"
  # The page as text, lines joined and spaces squeezed: roff escapes and line filling gone.
  text=$(zcat "$page" | MANWIDTH=500 man -l -P cat - 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g' | tr -s ' \n' ' ')
  help=$("$exe" --help)
  while read -r option; do
    grep -qF -- "$option" <<<"$text" || fail "$name: $option of --help is not in $page"
  done < <(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
  # Each description line of --help, as the page fills it into its paragraphs.
  while read -r line; do
    grep -qF -- "$line" <<<"$text" || fail "$name: \"$line\" of --help is not in $page"
  done < <(sed -n 's/^  -.*  \+\([A-Z].*\)$/\1/p' <<<"$help" | tr -s ' ')
  version=$("$exe" --version | head -n 1 | awk '{print $NF}')
  [ -n "$version" ] || fail "$name: --version prints no version"
  grep -qF -- "$version" <<<"$text" || fail "$name: the page is not of this version"
done
[ "$failed" -eq 0 ] && echo "manual pages: every page matches its command's --help"
exit "$failed"

#!/usr/bin/env bash
# Fails when an include runs against the layering: a lower layer including a higher one, or
# code outside the engine including one of the engine's private headers. The engine's own
# tests and the fuzz targets are white-box and may include engine-private headers.
set -euo pipefail
cd "$(dirname "$0")/.."

failures=0

# Quoted includes of the files under a folder, as "file:line:include".
quoted_includes() {
  grep -rnoE '^#include "[^"]+"' --include='*.h' --include='*.cpp' --include='*.c' "$1" || true
}

# Every quoted include under $1 must name a file of its own folder (no slash) or start with one
# of the prefixes that follow.
allow_only() {
  local folder=$1
  shift
  local pattern
  pattern="^#include \"([^/\"]+\"|$(IFS='|'; echo "$*"))"
  while IFS= read -r hit; do
    [ -z "$hit" ] && continue
    local include=${hit#*:*:}
    if ! [[ $include =~ $pattern ]]; then
      echo "check-layers: $hit: $folder may include only $*" >&2
      failures=$((failures + 1))
    fi
  done < <(quoted_includes "$folder")
}

allow_only common 'common/'
allow_only format 'format/' 'common/' 'kivra/kivra\.h'
allow_only link 'link/' 'fennick/' 'common/'
allow_only extract 'ombrel/' 'export_host/' 'format/' 'kivra/kivra\.h' 'common/'
allow_only viewer/lang 'lang/'
allow_only viewer/model 'model/' 'lang/' 'common/' 'format/' 'kivra/kivra\.h' 'ombrel/ombrel\.h' 'export_host/'
allow_only viewer/skin 'skin/'
allow_only tools/report 'report/' 'common/' 'format/' 'kivra/kivra\.h'
allow_only tools/dvrsim 'dvrsim/' 'report/' 'common/' 'format/' 'kivra/kivra\.h' 'link/' 'fennick/fennick\.h'
allow_only tools/dvrtool 'dvrtool/' 'report/' 'common/' 'format/' 'kivra/kivra\.h' 'decode/' 'ombrel/ombrel\.h' 'export_host/'

# The widget-free model has no Qt at all.
if grep -rnE '^#include <Q' viewer/model; then
  echo "check-layers: viewer/model includes Qt" >&2
  failures=$((failures + 1))
fi

# The engine's private headers: everything under engine/ except its published include folders.
mapfile -t private_headers < <(cd engine && find . -name '*.h' -not -path './include/*' \
  -not -path './decode/include/*' | sed 's|^\./||')
outside=(common format link extract viewer tools server bench)
for header in "${private_headers[@]}"; do
  if grep -rnF "#include \"$header\"" "${outside[@]}" 2>/dev/null; then
    echo "check-layers: the engine-private header $header is included outside the engine" >&2
    failures=$((failures + 1))
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "check-layers: $failures include(s) against the layering" >&2
  exit 1
fi
echo "check-layers: includes run downward; ${#private_headers[@]} engine-private headers stay inside"

#!/usr/bin/env bash
# Fails when the program's own code (the libraries and objects given) calls any heap or
# exception routine: the program keeps everything in fixed global buffers. Then prints the
# size of its static data.
#   check-no-heap.sh NM FILE...
set -euo pipefail
nm=$1
shift
files=()
for f in "$@"; do
  case "$f" in *.res) ;; *) files+=("$f") ;; esac # resources hold no code
done
[ ${#files[@]} -gt 0 ] || { echo "no files to check" >&2; exit 1; }

# Each line names its object first (-A): "library.a:object.obj: U symbol".
undefined=$("$nm" -A -u "${files[@]}")
deny='(^|_)(malloc|calloc|realloc|free|strdup|_Znw|_Zna|_Zdl|_Zda|__cxa_throw|__cxa_allocate_exception|HeapAlloc|HeapReAlloc|LocalAlloc|GlobalAlloc|VirtualAlloc)'
# One exception: the clipboard takes data only as a global memory object, which the system
# owns once it has it, so the clipboard's own file may call GlobalAlloc and nothing else.
found=$(awk -v deny="$deny" '$NF ~ deny && !($1 ~ /clipboard\.cpp\.obj:$/ && $NF ~ /^(__imp_)?_?GlobalAlloc(@[0-9]+)?$/) { print $NF }' \
        <<<"$undefined" | sort -u || true)
if [ -n "$found" ]; then
  echo "the program's own code allocates: $found" >&2
  exit 1
fi
echo "no heap or exception calls in: $(for f in "${files[@]}"; do basename "$f"; done | tr '\n' ' ')"

# The static data itself: the .bss and .data of the checked objects.
size_tool="${nm%nm}size"
if command -v "$size_tool" >/dev/null 2>&1; then
  "$size_tool" -t "${files[@]}" | tail -n 1 | awk '{ printf "static data of the program'"'"'s own code: %d bytes (.data %d, .bss %d)\n", $2 + $3, $2, $3 }'
fi

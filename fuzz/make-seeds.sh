#!/usr/bin/env bash
# Assembles the seed corpus of each fuzz target under <out>/<target>/ from what is
# already on disk: the committed seeds (fuzz/corpus), the crashers found so far
# (tests/data/crashers), the test fixtures (tests/data), the sample messages the
# build writes (bin/Samples) and the shared corpus of real messages beside the
# checkout. Nothing is copied into the repository.
#
#   fuzz/make-seeds.sh <fuzz build dir> <out dir>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
out=$2
corpus=$root/../shared/corpus
targets="cfb_fuzzer msg_fuzzer rtf_decompress_fuzzer rtf_html_fuzzer rtf_extract_fuzzer mime_fuzzer convert_fuzzer"

copy_dir() {  # copy_dir <from> <to> [find args]
  local from=$1 to=$2
  shift 2
  [ -d "$from" ] || return 0
  find "$from" -type f "$@" -exec cp -t "$to" {} +
}

msgs=()
while IFS= read -r -d '' f; do msgs+=("$f"); done < <(
  find "$build/bin/Samples" "$corpus" -type f -name '*.msg' -print0 2>/dev/null)

for t in $targets; do
  mkdir -p "$out/$t"
  copy_dir "$root/fuzz/corpus/$t" "$out/$t"
  copy_dir "$root/tests/data/crashers/$t" "$out/$t"
done

# Whole files: the reader targets start from every message there is. Large
# corpus files are left out: they slow every execution and add little.
for t in cfb_fuzzer msg_fuzzer convert_fuzzer; do
  for f in "${msgs[@]}"; do
    if [ "$(stat -c %s "$f")" -le 262144 ]; then
      cp "$f" "$out/$t/$(basename "$(dirname "$f")")_$(basename "$f" | tr ' ' _)"
    fi
  done
done

# RTF bodies: compressed ones for the decompressor, decompressed ones for the
# RTF readers.
extract=$out/.extracted
rm -rf "$extract"
"$build/fuzz/extract_seeds" "$extract" "${msgs[@]}" "$root"/tests/data/rtf/*.lzfu
copy_dir "$extract/lzfu" "$out/rtf_decompress_fuzzer"
copy_dir "$root/tests/data/rtf" "$out/rtf_decompress_fuzzer" -name '*.lzfu'
copy_dir "$extract/rtf" "$out/rtf_html_fuzzer" -size -256k
copy_dir "$extract/rtf" "$out/rtf_extract_fuzzer" -size -256k

for t in $targets; do
  echo "$t: $(find "$out/$t" -type f | wc -l) seeds"
done

#!/bin/sh
# Converter throughput: prints one Markdown section. Argument: the Release
# build directory (configured with -DEMOJITAG_BENCH=ON).
set -e
build=${1:-build}
bin="$build/bench/bench_convert"
if [ ! -x "$bin" ]; then
    echo "Error: $bin not built (configure with -DEMOJITAG_BENCH=ON)" >&2
    exit 1
fi
echo "## CP932 conversion throughput"
echo
echo "\`qz_code_convert\` with \`convert_tbl\` against the C library's iconv (\"CP932\") and ICU,"
echo "converting the same generated Japanese text (ASCII, hiragana, katakana, kanji,"
echo "full-width punctuation, half-width katakana) in one process, one thread."
echo "Per line: one call per line of about 200 bytes into a 32,772-byte output buffer"
echo "(the tool's buffer, which the converter clears on every call). Whole text: one call."
echo "MB/s counts input bytes (CP932 or UTF-16BE); best of 5 rounds of at least 0.25 s."
echo "ICU converts to its native UTF-16; the byte swap to or from UTF-16BE is timed with it."
echo "The second table gives the per-line modes as time a line; \"clear only\" is a memset of"
echo "the 32,772-byte buffer alone, the part of every call that no conversion can avoid."
echo "Command: \`sh bench/bench_convert.sh $build\`."
echo
"$bin" 4

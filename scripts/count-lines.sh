#!/bin/sh
# Test lines against code lines, both as non-blank lines of C and C++ sources (*.c, *.cpp, *.h).
# code: every source outside tests/, fuzz/ and bench/ (the library, settings/, ui/, resources/ and
#       tools/), without the generated ann/builtin_tables.cpp.
# tests: tests/ (the GoogleTest suites and their kit).
# fuzz/ and bench/ are printed on their own and counted as neither.
cd "$(dirname "$0")/.." || exit 1
count() { find "$@" -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) ! -path ann/builtin_tables.cpp \
    -exec cat {} + | grep -cv '^[[:space:]]*$'; }
code=$(count platform calendar services database formats ann session exchange settings ui resources tools)
tests=$(count tests)
echo "code $code"
echo "tests $tests"
echo "fuzz $(count fuzz) bench $(count bench) (neither)"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio %.2f\n", t / c }'

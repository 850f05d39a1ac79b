#!/bin/sh
# The share of test code: non-blank lines that are not comment-only, in the tracked test
# sources (C++, Python, shell under tests/) against every other tracked C++ source.
cd "$(dirname "$0")/.." || exit 1
count() { xargs cat | grep -vE '^\s*$' | grep -vE '^\s*(//|#!|/\*|\*|\*/|#\s)' | wc -l; }
tests=$(git ls-files tests | grep -E '\.(cpp|h|hpp|cc|py|sh)$' | count)
code=$(git ls-files | grep -v '^tests/' | grep -E '\.(cpp|h|hpp|cc)$' | count)
echo "tests $tests, other code $code: $((100 * tests / (tests + code))).$((1000 * tests / (tests + code) % 10)) % tests"

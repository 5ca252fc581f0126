# Shared by the command-line tests: how a refused input must end, and the tally.
# Source it after setting failed=0 passed=0.

# Prints what is wrong with a refusal that ended with STATUS and wrote STDERR, or
# nothing: it must fail (not hang, not crash) with exactly one line naming EXPECTED.
#   refusal_problem STATUS STDERR EXPECTED
refusal_problem() {
  local status=$1 stderr=$2 expected=$3 lines
  lines=$(wc -l < "$stderr")
  if [ "$status" -eq 0 ]; then echo "exit status 0"
  elif [ "$status" -eq 124 ]; then echo "hung"
  elif [ "$status" -ge 128 ]; then echo "crashed (status $status)"
  elif [ "$lines" -ne 1 ]; then echo "$lines lines on standard error"
  elif ! grep -qF -- "$expected" "$stderr"; then echo "message lacks '$expected'"
  fi
}

# Counts one check: passed when PROBLEM is empty, else a FAIL line with STDERR's start.
#   tally NAME PROBLEM STDERR
tally() {
  local name=$1 problem=$2 stderr=$3
  if [ -n "$problem" ]; then
    echo "FAIL: $name: $problem"
    sed 's/^/    /' "$stderr" | head -5
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}

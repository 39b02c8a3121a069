#!/usr/bin/env bash
# tools/demo-writer, watched from outside: it writes a start list first, then
# results whose first line holds "TIME:" and a clock, with CR LF line ends;
# a reader polling every few milliseconds finds the file empty only briefly;
# SIGTERM ends it promptly and puts the original text back.
set -uo pipefail
name=demo_writer
top=$(cd "$(dirname "$0")/../.." && pwd)
writer="$top/tools/demo-writer"
python=$(command -v /usr/bin/python3 || command -v python3) ||
    { echo "[$name] SKIP: python3 is not installed"; exit 77; }
fail() { echo "[$name] FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d) || fail "no temp folder"
pid=
trap '[[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT

"$python" "$writer" --help | grep -q '^usage: tools/demo-writer' || fail "--help shows no usage"
echo "[$name] ok: --help"

file="$tmp/Main.txt"
cp "$top/demo/Main.txt" "$file"
"$python" "$writer" --file "$file" --interval 0.15 --start-list 2 --count 7 --seed 7 --keep &
pid=$!
# Samples the file until the writer ends; judges what it saw.
"$python" - "$file" "$pid" <<'PY' || fail "see above"
import os, re, sys, time
path, pid = sys.argv[1], int(sys.argv[2])
pages, empty_since, longest_empty, end = [], None, 0.0, time.monotonic() + 20
def alive():
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False
while alive() and time.monotonic() < end:
    with open(path, "rb") as f:
        data = f.read()
    now = time.monotonic()
    if not data:
        empty_since = empty_since or now
        longest_empty = max(longest_empty, now - empty_since)
    else:
        empty_since = None
        if data.endswith(b"\r\n") and (not pages or pages[-1] != data):
            pages.append(data)
    time.sleep(0.002)
problems = []
if alive():
    problems.append("the writer did not stop after --count 7")
if longest_empty > 0.1:
    problems.append(f"the file stayed empty for {longest_empty * 1000:.0f} ms")
whole = [p for p in pages if p.count(b"\r\n") >= 5]
lines = [p.decode("cp1252").split("\r\n") for p in whole]
start = [l for l in lines if l[3:5] == ["Teams - Free Routine Preliminary", "START LIST"]]
res = [l for l in lines if re.fullmatch(r"TIME: \d\d:\d\d:\d\d", l[0])]
if not start or not res:
    problems.append(f"expected start lists and results, saw {len(start)} and {len(res)}")
elif lines.index(start[0]) > lines.index(res[0]):
    problems.append("results came before the start list")
for p in whole:
    if p.replace(b"\r\n", b"").count(b"\n") or p.replace(b"\r\n", b"").count(b"\r"):
        problems.append("a line break other than CR LF")
        break
if res and any(int(re.search(r"after (\d+)", l[2]).group(1)) != len(l) - 4 for l in res):
    problems.append("a results page whose ranking does not match its count")
for p in problems:
    print("[demo_writer] FAIL:", p, file=sys.stderr)
print(f"[demo_writer] saw {len(start)} start list and {len(res)} results pages; "
      f"longest empty {longest_empty * 1000:.1f} ms")
sys.exit(1 if problems else 0)
PY
wait "$pid" || fail "the writer exited with $?"
pid=
head -n 1 "$file" | grep -Eq $'^TIME: [0-9]{2}:[0-9]{2}:[0-9]{2}\r$' || fail "--keep did not leave the results in place"
grep -q "RESULTS after 5 of 10" "$file" || fail "7 rewrites (2 start lists) should end with 5 teams scored"
echo "[$name] ok: start list, then results with TIME: and a clock, CR LF, never empty for long"

cp "$top/demo/Main.txt" "$file"
"$python" "$writer" --file "$file" --seed 3 &
pid=$!
sleep 1.2
kill -TERM "$pid"
for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "SIGTERM did not stop the writer within 3 s"
wait "$pid" || fail "the writer exited with $? after SIGTERM"
pid=
cmp -s "$top/demo/Main.txt" "$file" || fail "after SIGTERM the original text was not put back"
echo "[$name] ok: SIGTERM stops it and restores the original text"

#!/usr/bin/env python3
"""Times `korvane-cli text PAGE` for two or more builds, run by run in turn, so that every
build sees the same machine; prints each one's median wall time, MB/s of the page, median
CPU time and peak resident memory.

usage: bench/text_speed.py RUNS PAGE CLI [CLI ...] [-- TEXT_FLAGS ...]
  e.g. bench/doc_page.sh /tmp/doc.answer
       bench/text_speed.py 41 /tmp/doc.answer /tmp/old/cli/korvane-cli build/cli/korvane-cli
"""
import os
import statistics
import subprocess
import sys
import time


def main():
    args = sys.argv[1:]
    flags = []
    if "--" in args:
        flags = args[args.index("--") + 1:]
        args = args[:args.index("--")]
    if len(args) < 3:
        sys.exit(__doc__)
    runs, page, clis = int(args[0]), args[1], args[2:]
    size = os.path.getsize(page)
    results = {cli: [] for cli in clis}
    with open(os.devnull, "wb") as null:
        for _ in range(runs):
            for cli in clis:
                start = time.perf_counter()
                child = subprocess.Popen([cli, "text", *flags, page], stdout=null)
                _, status, usage = os.wait4(child.pid, 0)
                elapsed = time.perf_counter() - start
                if status != 0:
                    sys.exit(f"{cli} failed with status {status}")
                results[cli].append((elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss))
    for cli, rows in results.items():
        wall = statistics.median(r[0] for r in rows)
        cpu = statistics.median(r[1] for r in rows)
        peak = max(r[2] for r in rows) / 1024
        print(f"{cli}: median {wall * 1000:.1f} ms ({size / wall / 1e6:.0f} MB/s), "
              f"cpu {cpu * 1000:.1f} ms, fastest {min(r[0] for r in rows) * 1000:.1f} ms, "
              f"peak {peak:.1f} MB")
    print("load average %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()

"""Prints the benchmark run as one table of ratios against the baselines of the same run."""
import json
import sys

results = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}


def ns(name):
    """Time of the benchmark whose name is `name` or starts with `name/` (arguments, options)."""
    b = next(v for k, v in results.items() if k == name or k.startswith(name + "/"))
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
    return b["real_time"] * scale


rows = []
frame, copy = ns("FrameBuildAndAccept"), ns("FramePlainCopy")
rows.append(("Frame: build 63-byte frame + accept it", f"{frame:.0f} ns", f"plain copy {copy:.0f} ns",
             f"{frame / copy:.2f}x", "within 3x", "met" if frame / copy <= 3 else "NOT met"))

read = next(v for k, v in results.items() if k.startswith("WholeRead"))
program, bus = read["program_ms"] * 1e6, read["bus_ms"] * 1e6
per_trip_us = (program - bus) / 230 / 1000
share = per_trip_us / 1000 * 100
rows.append(("Read: 230 round trips, program's own cost", f"{per_trip_us:.1f} us/trip",
             f"read {program / 1e6:.2f} ms vs bus {bus / 1e6:.2f} ms", f"{share:.2f}% of 1 ms", "under 5%",
             "met" if share < 5 else "NOT met"))

text = ns("MonitorLineTextAlone")
for held in (250, 1000, 5000):
    line = ns(f"MonitorAppendLine/{held}")
    rows.append((f"Monitor: one line after {held} lines", f"{line / 1e6:.2f} ms", f"text alone {text / 1e3:.1f} us",
                 f"{line / text:.0f}x", "reported", ""))

widths = [max(len(str(r[i])) for r in rows + [("measurement", "cost", "baseline", "ratio", "goal", "")]) for i in range(6)]
header = ("measurement", "cost", "baseline", "ratio", "goal", "")
for r in [header] + rows:
    print("  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip())

#!/usr/bin/python3
# The peers benchmark's tables, from the figures it gathered (also from its --json file:
#   report.py figures.json).
import json
import statistics
import sys

CONDITIONS = {"none": "without a compositor", "picom": "under picom (box blur 13)"}


def median(values):
    return statistics.median(values)


def seconds(values):
    return f"{median(values):.3f} ({min(values):.3f}–{max(values):.3f})"


def best_peer(entries, key, among=None):
    """(name, median) of the fastest peer on a workload (of those named in among, if given), or
    None without one."""
    peers = [(median(e["times"][key][0]), name) for name, e in entries.items()
             if name != "Vitrion" and (among is None or name in among)]
    return min(peers)[::-1] if peers else None


def ratios(results, condition, among=None):
    """Per workload: (Vitrion / its raw drain, Vitrion / the fastest peer, that peer's name)."""
    entries = results["conditions"][condition]["terminals"]
    out = {}
    for key, _ in results["workloads"]:
        ours, raw = entries["Vitrion"]["times"][key]
        best = best_peer(entries, key, among)
        out[key] = (median(ours) / median(raw), best and median(ours) / best[1], best and best[0])
    return out


def against(ratio):
    return f"{ratio[1]:.2f}x ({ratio[2]})" if ratio and ratio[1] else "—"


def condition_tables(results, condition):
    figures = results["conditions"][condition]
    entries = figures["terminals"]
    names = list(entries)
    lines = [f"**{CONDITIONS[condition].capitalize()}** (load average over the run: "
             f"{figures['load'][0]} at the start, {figures['load'][-1]} at the end). Seconds, median "
             f"(min–max) over {results['runs']} runs:", "",
             "| Workload | raw pty | " + " | ".join(names) + " |",
             "|---|" + "---:|" * (len(names) + 1)]
    for key, label in results["workloads"]:
        raw = entries[names[0]]["times"][key][1]
        cells = []
        fastest = min(median(entries[n]["times"][key][0]) for n in names)
        for n in names:
            cell = seconds(entries[n]["times"][key][0])
            cells.append(f"**{cell}**" if median(entries[n]["times"][key][0]) == fastest else cell)
        lines.append(f"| {label} | {seconds(raw)} | " + " | ".join(cells) + " |")
    translucent = condition == "picom"
    lines += ["", "Each terminal's median over the median of the raw drain runs interleaved with its own, and "
              "Vitrion's median over the fastest peer's" + (" (and the fastest translucent one's)" if translucent else "")
              + ":", "",
              "| Workload | " + " | ".join(names) + " | Vitrion / fastest peer |"
              + (" Vitrion / fastest translucent peer |" if translucent else ""),
              "|---|" + "---:|" * (len(names) + 1 + translucent)]
    vitrion = ratios(results, condition) if "Vitrion" in entries else {}
    glassy = ratios(results, condition, results.get("translucent", [])) if "Vitrion" in entries else {}
    for key, label in results["workloads"]:
        cells = [f"{median(entries[n]['times'][key][0]) / median(entries[n]['times'][key][1]):.2f}x" for n in names]
        lines.append(f"| {label} | " + " | ".join(cells) + f" | {against(vitrion.get(key))} |"
                     + (f" {against(glassy.get(key))} |" if translucent else ""))
    lines += ["", "| | " + " | ".join(names) + " |", "|---|" + "---:|" * len(names)]
    if translucent:
        lines.append("| translucent | " + " | ".join(
            "yes" if n in results.get("translucent", []) else "no" for n in names) + " |")
    frames = [median([s[0] for s in entries[n]["starts"]]) for n in names]
    outputs = [median([s[1] for s in entries[n]["starts"]]) for n in names]
    lines.append("| start to first painted frame, ms (median) | " + " | ".join(f"{v * 1000:.0f}" for v in frames) + " |")
    lines.append("| start to the shell's first output, ms (median) | "
                 + " | ".join(f"{v * 1000:.0f}" for v in outputs) + " |")
    lines.append("| window / grid, pixels per cell | "
                 + " | ".join("{} x {}".format(*entries[n]["window_per_cell"]) for n in names) + " |")
    lines.append("| peak resident memory, MB | " + " | ".join(f"{entries[n]['peak_mb']:.1f}" for n in names) + " |")
    return lines


def markdown(results):
    lines = [f"Measured {results['date']} (the benchmark at commit {results['commit']}) on {results['machine']}; "
             f"{results['mib']} MiB files, `seq 1 {results['seq']}`, 80 x 24.", "",
             "Versions: " + ", ".join(f"{k} {v}" for k, v in results["versions"].items()) + ".", ""]
    for condition in results["conditions"]:
        lines += condition_tables(results, condition) + [""]
    return "\n".join(lines).rstrip()


if __name__ == "__main__":
    with open(sys.argv[1]) as f:
        print(markdown(json.load(f)))

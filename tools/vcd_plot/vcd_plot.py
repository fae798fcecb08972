#!/usr/bin/env python3
"""Draws signals of a VCD file as an SVG picture, with the standard library only.

    vcd_plot.py RUN.vcd OUT.svg --panel FROM:TO:SIGNAL,SIGNAL,... [--panel ...]

FROM and TO are times in microseconds; each panel shows its signals over that
window, one row each: one-bit wires as levels (x and z shaded), real signals
as steps between their smallest and largest value in the window.
"""
import argparse
import math
import sys

ROW = 26
LABEL = 190
WIDTH = 1000
TOP = 30


def read_vcd(path, wanted):
    """Returns {name: (kind, [(time, value), ...])} for the wanted names."""
    ids, kinds, changes = {}, {}, {}
    with open(path) as f:
        tokens = iter(f.read().split())
    t = 0
    for tok in tokens:
        if tok == "$var":
            kind, _size, code, name = next(tokens), next(tokens), next(tokens), next(tokens)
            if name in wanted:
                ids.setdefault(code, []).append(name)
                kinds[name] = kind
                changes[name] = []
        elif tok.startswith("$"):
            if tok not in ("$dumpvars", "$end", "$enddefinitions"):
                while next(tokens) != "$end":
                    pass
        elif tok[0] == "#":
            t = int(tok[1:])
        elif tok[0] in "rR":
            value, code = float(tok[1:]), next(tokens)
            for name in ids.get(code, []):
                changes[name].append((t, value))
        else:
            for name in ids.get(tok[1:], []):
                changes[name].append((t, tok[0]))
    missing = [n for n in wanted if n not in kinds]
    if missing:
        sys.exit("no such signal: " + ", ".join(missing))
    return {n: (kinds[n], changes[n]) for n in wanted}, t


def window(changes, start, end):
    """The value at `start`, then the changes inside the window."""
    before = [c for c in changes if c[0] <= start]
    inside = [c for c in changes if start < c[0] < end]
    first = [(start, before[-1][1])] if before else []
    return first + inside


def nice_step(span):
    raw = span / 8
    p = 10 ** math.floor(math.log10(raw))
    for m in (1, 2, 5, 10):
        if raw <= m * p:
            return m * p
    return 10 * p


def unit_of(step_ns):
    for unit, ns in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if step_ns >= ns:
            return unit, ns
    return "ns", 1


def panel(out, y0, signals, start, end):
    x_of = lambda t: LABEL + (t - start) * (WIDTH - LABEL - 10) / (end - start)
    step = nice_step(end - start)
    unit, scale = unit_of(step)
    tick = math.ceil(start / step) * step
    height = ROW * len(signals)
    while tick <= end:
        x = x_of(tick)
        out.append(f'<line x1="{x:.1f}" y1="{y0}" x2="{x:.1f}" y2="{y0 + height}" class="grid"/>')
        out.append(f'<text x="{x:.1f}" y="{y0 + height + 13}" class="tick">'
                   f'{tick / scale:g} {unit}</text>')
        tick += step
    for row, (name, (kind, changes)) in enumerate(signals.items()):
        top, bottom = y0 + row * ROW + 4, y0 + (row + 1) * ROW - 4
        out.append(f'<text x="{LABEL - 8}" y="{bottom - 3}" class="name">{name}</text>')
        points = window(changes, start, end)
        if kind == "real":
            values = [v for _, v in points] or [0.0]
            lo, hi = min(values), max(values)
            y_of = lambda v: bottom - (v - lo) * (bottom - top) / ((hi - lo) or 1)
            path, last = [], None
            for t, v in points:
                x = x_of(t)
                path.append(f"{'M' if last is None else 'L'}{x:.1f},{y_of(last if last is not None else v):.1f}")
                path.append(f"L{x:.1f},{y_of(v):.1f}")
                last = v
            if last is not None:
                path.append(f"L{x_of(end):.1f},{y_of(last):.1f}")
            out.append(f'<path d="{" ".join(path)}" class="real"/>')
            out.append(f'<text x="{WIDTH - 8}" y="{top + 8}" class="range">{lo:.3g}..{hi:.3g}</text>')
            continue
        for i, (t, v) in enumerate(points):
            x1 = x_of(t)
            x2 = x_of(points[i + 1][0]) if i + 1 < len(points) else x_of(end)
            if v in "xXzZ":
                out.append(f'<rect x="{x1:.1f}" y="{top}" width="{max(x2 - x1, 0.5):.1f}" '
                           f'height="{bottom - top}" class="{"unknown" if v in "xX" else "open"}"/>')
                continue
            y = top if v == "1" else bottom
            out.append(f'<line x1="{x1:.1f}" y1="{y}" x2="{x2:.1f}" y2="{y}" class="wire"/>')
            if i + 1 < len(points) and points[i + 1][1] in "01" and points[i + 1][1] != v:
                out.append(f'<line x1="{x2:.1f}" y1="{top}" x2="{x2:.1f}" y2="{bottom}" class="wire"/>')
    return height + 30


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("vcd")
    parser.add_argument("svg")
    parser.add_argument("--panel", action="append", required=True,
                        help="FROM_US:TO_US:SIGNAL,SIGNAL,...")
    args = parser.parse_args()
    panels = []
    for text in args.panel:
        start, end, names = text.split(":", 2)
        panels.append((float(start) * 1000, float(end) * 1000, names.split(",")))
    wanted = {n for _, _, names in panels for n in names}
    signals, _ = read_vcd(args.vcd, wanted)

    body, y = [], TOP
    for start, end, names in panels:
        y += panel(body, y, {n: signals[n] for n in names}, start, end)
    head = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{y}" '
            f'font-family="monospace" font-size="11">\n<style>'
            '.wire{stroke:#0a6;stroke-width:1.2}.real{stroke:#c60;fill:none;stroke-width:1.2}'
            '.grid{stroke:#ddd}.unknown{fill:#e55;opacity:.5}.open{fill:#999;opacity:.4}'
            '.name{text-anchor:end}.tick{text-anchor:middle;fill:#666}'
            '.range{text-anchor:end;fill:#c60;font-size:9px}</style>\n'
            f'<rect width="{WIDTH}" height="{y}" fill="white"/>\n'
            f'<text x="8" y="18">{args.vcd.split("/")[-1]}</text>\n')
    with open(args.svg, "w") as f:
        f.write(head + "\n".join(body) + "\n</svg>\n")


if __name__ == "__main__":
    main()

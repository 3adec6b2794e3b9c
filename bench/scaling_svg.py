"""The scaling curves as an SVG picture: cost per machine size, one line per flow, on log-log axes,
one chart for callgrind's instruction counts and one for wall time. Standard library only."""

import math
from xml.sax.saxutils import escape

COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2", "#17becf", "#7f7f7f"]
WIDTH, HEIGHT = 520, 380
LEFT, RIGHT, TOP, BOTTOM = 78, 16, 40, 48


def _ticks(low, high):
    """Powers of ten from below low to above high."""
    first = math.floor(math.log10(low))
    last = math.ceil(math.log10(high))
    if last == first:
        last += 1
    return [10.0 ** e for e in range(first, last + 1)]


def _label(value, unit):
    if unit == "ms":
        return f"{value:g} ms"
    exponent = round(math.log10(value))
    return f"1e{exponent}"


def _chart(x0, title, unit, flows):
    """One chart; flows: list of (title, {scale: value}); key selects the figure."""
    series = [(name, sorted((s, v) for s, v in points.items() if v and v > 0)) for name, points in flows]
    values = [v for _, pts in series for _, v in pts]
    scales = sorted({s for _, pts in series for s, _ in pts})
    out = [f'<g transform="translate({x0},0)">',
           f'<text x="{WIDTH / 2}" y="22" text-anchor="middle" font-size="15" font-weight="bold">{escape(title)}</text>']
    if not values or not scales:
        out.append(f'<text x="{WIDTH / 2}" y="{HEIGHT / 2}" text-anchor="middle">no figures</text></g>')
        return out
    yt = _ticks(min(values), max(values))
    ylo, yhi = math.log10(yt[0]), math.log10(yt[-1])
    xlo, xhi = math.log10(scales[0]), math.log10(scales[-1])
    if xhi == xlo:
        xhi = xlo + 1
    plot_w, plot_h = WIDTH - LEFT - RIGHT, HEIGHT - TOP - BOTTOM

    def px(s):
        return LEFT + (math.log10(s) - xlo) / (xhi - xlo) * plot_w

    def py(v):
        return TOP + plot_h - (math.log10(v) - ylo) / (yhi - ylo) * plot_h

    out.append(f'<rect x="{LEFT}" y="{TOP}" width="{plot_w}" height="{plot_h}" fill="none" stroke="#444"/>')
    for t in yt:
        y = py(t)
        out.append(f'<line x1="{LEFT}" y1="{y:.1f}" x2="{LEFT + plot_w}" y2="{y:.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{LEFT - 6}" y="{y + 4:.1f}" text-anchor="end" font-size="11">{_label(t, unit)}</text>')
    for s in scales:
        x = px(s)
        out.append(f'<line x1="{x:.1f}" y1="{TOP}" x2="{x:.1f}" y2="{TOP + plot_h}" stroke="#ddd"/>')
        out.append(f'<text x="{x:.1f}" y="{TOP + plot_h + 16}" text-anchor="middle" font-size="11">{s}x</text>')
    out.append(f'<text x="{LEFT + plot_w / 2}" y="{HEIGHT - 8}" text-anchor="middle" font-size="12">machine size</text>')
    # Linear growth from the smallest figure at the smallest size, for comparison.
    base = min(values)
    ref = [(s, base * s / scales[0]) for s in scales]
    if all(v <= yt[-1] for _, v in ref):
        pts = " ".join(f"{px(s):.1f},{py(v):.1f}" for s, v in ref)
        out.append(f'<polyline points="{pts}" fill="none" stroke="#999" stroke-dasharray="5,4"/>')
    for i, (name, pts) in enumerate(series):
        colour = COLOURS[i % len(COLOURS)]
        if len(pts) > 1:
            line = " ".join(f"{px(s):.1f},{py(v):.1f}" for s, v in pts)
            out.append(f'<polyline points="{line}" fill="none" stroke="{colour}" stroke-width="2"/>')
        for s, v in pts:
            out.append(f'<circle cx="{px(s):.1f}" cy="{py(v):.1f}" r="3" fill="{colour}"/>')
    out.append("</g>")
    return out


def write_svg(scaling, path):
    """scaling: list of {"title", "sizes": [{"scale", "instructions", "wall_ms"}]}."""
    def figures(key):
        return [(f["title"], {s["scale"]: s.get(key) for s in f["sizes"]}) for f in scaling]

    legend_h = 18 * len(scaling) + 30
    total_w, total_h = 2 * WIDTH, HEIGHT + legend_h
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{total_w}" height="{total_h}" '
           f'viewBox="0 0 {total_w} {total_h}" font-family="sans-serif">',
           f'<rect width="{total_w}" height="{total_h}" fill="white"/>']
    out += _chart(0, "Instructions per flow (callgrind)", "instructions", figures("instructions"))
    out += _chart(WIDTH, "Wall time per flow (fastest batch)", "ms", figures("wall_ms"))
    y = HEIGHT + 10
    for i, f in enumerate(scaling):
        colour = COLOURS[i % len(COLOURS)]
        yy = y + 18 * i
        out.append(f'<line x1="{LEFT}" y1="{yy + 6}" x2="{LEFT + 24}" y2="{yy + 6}" stroke="{colour}" stroke-width="3"/>')
        out.append(f'<text x="{LEFT + 32}" y="{yy + 10}" font-size="12">{escape(f["title"])}</text>')
    yy = y + 18 * len(scaling)
    out.append(f'<line x1="{LEFT}" y1="{yy + 6}" x2="{LEFT + 24}" y2="{yy + 6}" stroke="#999" stroke-dasharray="5,4"/>')
    out.append(f'<text x="{LEFT + 32}" y="{yy + 10}" font-size="12">linear growth, for comparison</text>')
    out.append("</svg>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")

#!/usr/bin/python3
"""Draws the points of equal_payload.py as one picture: a panel a signal, payload rate (kbps, on
a log scale) against NMR (dB, lower is better), a line a coder through its measured points, and
a last panel of the table that equal_payload.py prints: at each compared payload rate, the
median over the signals of each coder's NMR minus ours (ours the zero line), a hollow marker
where that median is over fewer than all signals (the others outside a coder's points).

    bench/quality/curves_picture.py POINTS.json PICTURE.png
"""

import json
import math
import os
import statistics
import sys

import matplotlib

matplotlib.use("Agg")  # files only, no display
import matplotlib.pyplot as plt  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import equal_payload  # noqa: E402

STYLES = {  # ours in black, the peers in colours
    "ours": dict(color="black", linestyle="-", marker="o", linewidth=2.0),
    "ours-vbr": dict(color="black", linestyle="--", marker="s", linewidth=1.2),
    "lame": dict(color="tab:red", linestyle="-", marker="^", linewidth=1.2),
    "opus": dict(color="tab:purple", linestyle="-", marker="v", linewidth=1.2),
    "vorbis": dict(color="tab:green", linestyle="-", marker="D", linewidth=1.2),
    "aac": dict(color="tab:blue", linestyle="-", marker="x", linewidth=1.2),
    "wmav2": dict(color="tab:gray", linestyle=":", marker=".", linewidth=1.2),
}
COLUMNS = 4
RATE_RANGE = (30, 280)  # kbps shown: the compared rates with a margin
TICKS = [32, 48, 64, 96, 128, 192, 256]


def draw_medians(axis, table, names, coder, payloads):
    """The coder's median difference from ours at each payload rate, as the table gives it."""
    medians, partial = [], []
    for index, rate in enumerate(payloads):
        compared = equal_payload.against_baseline(table, names, coder, index)
        if compared:
            medians.append((rate, statistics.median(d for d, _ in compared)))
            if len(compared) < len(names):
                partial.append(medians[-1])
    if medians:
        axis.plot(*zip(*medians), markersize=3.5, **STYLES[coder])
    if partial:
        axis.plot(*zip(*partial), linestyle="none", marker=STYLES[coder]["marker"],
                  markersize=4.5, markerfacecolor="white", color=STYLES[coder]["color"])


def draw(points_path, picture_path):
    with open(points_path) as file:
        data = json.load(file)
    names, coders, points = data["signals"], data["coders"], data["points"]
    panels = names + [f"median, coder minus {equal_payload.BASELINE}"]
    rows = math.ceil(len(panels) / COLUMNS)
    figure, axes = plt.subplots(rows, COLUMNS, figsize=(3.1 * COLUMNS, 2.5 * rows + 0.6),
                                sharex=True, squeeze=False)
    table = equal_payload.interpolated(points, names, coders)
    for index, axis in enumerate(axes.flat):
        if index >= len(panels):
            axis.set_visible(False)
            continue
        for coder in coders:
            if index < len(names):
                mine = sorted((p["payload_kbps"], p["nmr_db"]) for p in points
                              if p["signal"] == names[index] and p["coder"] == coder)
                if mine:
                    axis.plot(*zip(*mine), label=coder, markersize=3.5, **STYLES[coder])
            elif coder != equal_payload.BASELINE:
                draw_medians(axis, table, names, coder, data["payloads"])
        if index < len(names):
            axis.axhline(0.0, color="0.75", linewidth=0.8, zorder=0)  # noise at the mask
        else:
            axis.axhline(0.0, **dict(STYLES[equal_payload.BASELINE], marker=None))  # ours
        axis.set_title(panels[index], fontsize=9)
        axis.set_xscale("log")
        axis.set_xlim(*RATE_RANGE)
        axis.set_xticks(TICKS, [str(t) for t in TICKS])
        axis.minorticks_off()
        axis.tick_params(labelsize=7)
        axis.grid(True, color="0.92", linewidth=0.6)
        if index == len(names):
            axis.set_ylabel("dB against ours", fontsize=8)
        elif index % COLUMNS == 0:
            axis.set_ylabel("NMR dB", fontsize=8)
        if index >= len(panels) - COLUMNS:
            axis.set_xlabel("payload kbps", fontsize=8)
    handles, labels = axes.flat[0].get_legend_handles_labels()
    figure.legend(handles, labels, loc="lower center", ncol=len(labels), fontsize=8, frameon=False)
    figure.suptitle("NMR against payload rate, 44.1 kHz stereo (lower is better)", fontsize=10)
    figure.tight_layout(rect=(0, 0.05, 1, 0.97))
    figure.savefig(picture_path, dpi=80)
    plt.close(figure)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    draw(sys.argv[1], sys.argv[2])

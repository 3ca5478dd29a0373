#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists the true circles and arcs of a scanned drawing that vector_score.py does not credit, each with
what the conversion drew there instead (the output entities that follow the most of it):
  radius   one CIRCLE or ARC follows it, its radius off by more than the tolerance (dr, in pens as well)
  centre   one CIRCLE or ARC follows it with the radius right, its centre off
  pieces   several CIRCLEs or ARCs follow parts of it, none 90 %
  lines    LINEs follow the most of it
  missing  nothing follows it
arc_misses.py TRUTH.json DRAWING.dxf [--all] [--summary]
(VECTOR_SCORE, default ../shared/vector_score.py, for its sampling and tolerances)"""
import argparse
import json
import math
import os
import sys
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(os.environ.get("VECTOR_SCORE", "../shared/vector_score.py"))))
import numpy as np  # noqa: E402
import ezdxf  # noqa: E402
from vector_score import STEP, in_boxes, sample_arc, sample_segment  # noqa: E402


def entities(path):
    """(kind, centre and radius or None, samples, directions) of each output entity."""
    out = []
    for e in ezdxf.readfile(path).modelspace():
        t = e.dxftype()
        if t == "LINE":
            p, d, _ = sample_segment((e.dxf.start.x, e.dxf.start.y), (e.dxf.end.x, e.dxf.end.y))
            out.append((t, None, p, d))
        elif t in ("ARC", "CIRCLE"):
            c, r = (e.dxf.center.x, e.dxf.center.y), e.dxf.radius
            s, en = (e.dxf.start_angle, e.dxf.end_angle) if t == "ARC" else (0, 360)
            p, d, _ = sample_arc(c, r, s, en)
            out.append((t, (c[0], c[1], r, s, en), p, d))
    return out


def follows(tp, td, w, ent):
    """Share of the true samples tp (directions td) the entity follows as the score counts it."""
    from scipy.spatial import cKDTree
    tree = cKDTree(ent[2])
    hits = tree.query_ball_point(tp, r=w / 2 + 1.5 + STEP / 2)
    n = 0
    for i, js in enumerate(hits):
        if js and (np.abs((ent[3][js] * td[i]).sum(1)) >= math.cos(math.radians(6))).any():
            n += 1
    return n / max(1, len(tp))


def judge(t, ents, boxes):
    s, e = (t["s"], t["e"]) if "s" in t else (0, 360)
    tp, td, length = sample_arc(t["c"], t["r"], s, e)
    keep = ~in_boxes(tp, boxes)
    tp, td = tp[keep], td[keep]
    tol = 1.5 + 0.01 * t["r"]
    near = [k for k, ent in enumerate(ents)
            if np.min(np.hypot(*(ent[2][:, None, :] - tp[None, ::max(1, len(tp) // 40), :]).transpose(2, 0, 1)))
            <= t["w"] / 2 + 2]
    shares = sorted(((follows(tp, td, t["w"], ents[k]), k) for k in near), reverse=True)
    round_shares = [(f, k) for f, k in shares if ents[k][1] is not None and f > 0.05]
    credited = [k for f, k in round_shares if f >= 0.9 and math.hypot(ents[k][1][0] - t["c"][0], ents[k][1][1] - t["c"][1])
                <= tol and abs(ents[k][1][2] - t["r"]) <= tol]
    info = {"r": t["r"], "w": t["w"], "sweep": (e - s) % 360 or 360, "length": length, "tol": tol,
            "c": t["c"], "dash": t.get("dash", False)}
    if credited:
        return "hit", info
    if round_shares and round_shares[0][0] >= 0.9:
        f, k = round_shares[0]
        cx, cy, r = ents[k][1][:3]
        info.update(dr=r - t["r"], dc=math.hypot(cx - t["c"][0], cy - t["c"][1]), kind=ents[k][0])
        return ("radius" if abs(r - t["r"]) > tol else "centre"), info
    line_share = sum(f for f, k in shares if ents[k][1] is None)
    round_sum = sum(f for f, k in round_shares)
    if round_shares and round_sum >= line_share and round_sum > 0.3:
        f, k = round_shares[0]
        info.update(pieces=len(round_shares), best=f, dr=ents[k][1][2] - t["r"],
                    dc=math.hypot(ents[k][1][0] - t["c"][0], ents[k][1][1] - t["c"][1]))
        return "pieces", info
    if line_share > 0.3:
        info.update(lines=sum(1 for f, k in shares if ents[k][1] is None and f > 0.05), share=line_share)
        return "lines", info
    return "missing", info


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("truth")
    ap.add_argument("dxf")
    ap.add_argument("--all", action="store_true", help="list the credited ones too")
    ap.add_argument("--summary", action="store_true", help="one line of counts only")
    o = ap.parse_args()
    gt = json.load(open(o.truth))
    ents = entities(o.dxf)
    boxes = gt.get("text_boxes", [])
    tally = Counter()
    for kind, t in [("circle", t) for t in gt["circles"]] + [("arc", t) for t in gt["arcs"]]:
        verdict, info = judge(t, ents, boxes)
        tally[verdict] += 1
        if o.summary or (verdict == "hit" and not o.all):
            continue
        extra = " ".join(f"{k} {v:.2f}" if isinstance(v, float) else f"{k} {v}" for k, v in info.items()
                         if k not in ("c", "length"))
        print(f"{verdict:8s} {kind:6s} at {info['c'][0]:7.1f},{info['c'][1]:7.1f} {extra}"
              + (f" dr/w {info['dr'] / info['w']:+.2f}" if "dr" in info else ""))
    total = sum(tally.values())
    print(f"{os.path.basename(o.truth)}: {tally['hit']}/{total} credited; "
          + ", ".join(f"{k} {v}" for k, v in sorted(tally.items()) if k != "hit"))


if __name__ == "__main__":
    main()

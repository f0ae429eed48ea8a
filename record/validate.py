#!/usr/bin/env python3
"""Checks result files against record/result.schema.json: validate.py FILE...
Exit status 0 when every file is valid, 1 otherwise (each fault on standard error).
Beyond the schema, each step's triangles must be its grid squared times 1152, its frame
times' percentiles in order, a steady figure's uncertainty given, a drift verdict that
follows from its change, the shares of a load together at most the whole machine, and a
start the calendar has: relations between fields, which JSON Schema cannot state. A paired
comparison ("protocol": "pair") has its own: pairs that count up, each kept pair one turn of
either side at one grid, a mean that is its frame times', a verdict over whole blocks of the
kept pairs whose ratio lies in its interval, and same_renderer as the sides' strings say."""
import datetime
import json
import math
import re
import os
import sys

import jsonschema

schema_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "result.schema.json")
with open(schema_path) as f:
    schema = json.load(f)
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)


def number(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def finite(text, convert):
    """JSON has no infinities, nor numbers past a double's range; Python's parser makes them."""
    if not math.isfinite(float(text)):
        raise ValueError(f"{text[:40]} is no finite number")
    return convert(text)


def started_fault(run, at, key="started"):
    """A start of the schema's shape on a day and at a second the calendar has (year 1 on,
    no leap second: the program writes none), as the program's reader checks it; a series is
    named by its first run's start."""
    s = run.get(key)
    if not isinstance(s, str) or len(s) != 20 or not s[:4].isdigit():
        return None  # the schema's pattern says what is wrong
    try:
        datetime.datetime(int(s[:4]), int(s[5:7]), int(s[8:10]), int(s[11:13]), int(s[14:16]),
                          int(s[17:19]))
    except ValueError:
        return f"{at}/{key}: {s} is not a time the calendar has"
    return None


def step_faults(doc):
    """The steps whose triangles are not their grid's; other faults are the schema's."""
    runs = doc.get("runs") if isinstance(doc, dict) else None
    for i, run in enumerate(runs if isinstance(runs, list) else []):
        steps = run.get("steps") if isinstance(run, dict) else None
        for j, step in enumerate(steps if isinstance(steps, list) else []):
            if not isinstance(step, dict):
                continue
            grid, triangles = step.get("grid"), step.get("triangles")
            # 8.0 is an integer to the schema.
            if number(grid) and number(triangles) and triangles != grid * grid * 1152:
                yield f"runs/{i}/steps/{j}/triangles: {triangles} is not grid x grid x 1152"
            yield from relation_faults(step, f"runs/{i}/steps/{j}")
        for key in ("started", "series"):
            fault = started_fault(run, f"runs/{i}", key) if isinstance(run, dict) else None
            if fault:
                yield fault
        if isinstance(run, dict) and number(run.get("steady_score")) and \
                not number(run.get("steady_uncertainty")):
            yield f"runs/{i}/steady_uncertainty: none for the steady_score"
        drift = run.get("drift") if isinstance(run, dict) else None
        if isinstance(drift, dict):
            yield from drift_faults(drift, f"runs/{i}/drift")
        held = run.get("gpu") if isinstance(run, dict) else None
        if isinstance(held, dict):
            yield from held_faults(held, f"runs/{i}/gpu")
        verdict = run.get("interference") if isinstance(run, dict) else None
        if isinstance(verdict, dict):
            for key in ("deciding", "last_step"):
                yield from load_faults(verdict.get(key), f"runs/{i}/interference/{key}")


def drift_faults(drift, at):
    first, again, change, allowed = (drift.get(k) for k in ("first_ms", "again_ms", "change",
                                                            "allowed"))
    if all(number(v) for v in (first, again, change)) and first > 0 and \
            abs(again / first - 1 - change) > 1e-6 * (1 + abs(change)):
        yield f"{at}/change: not again_ms / first_ms - 1"
    if number(change) and number(allowed) and isinstance(drift.get("drifted"), bool) and \
            drift["drifted"] != (abs(change) > allowed):
        yield f"{at}/drifted: does not follow from change and allowed"


HELD_SHARE = 0.90  # kGpuHeldShare: a busy clock below this share of the run's top is held


def held_faults(held, at):
    """A GPU verdict whose parts do not follow from its figures."""
    top, low, room = (held.get(k) for k in ("top_mhz", "low_mhz", "headroom_c"))
    top = top if number(top) else 0
    fell = number(low) and low < HELD_SHARE * top
    if number(low) and low > top:
        yield f"{at}/low_mhz: above top_mhz"
    elif isinstance(held.get("clock_fell"), bool) and held["clock_fell"] != fell:
        yield f"{at}/clock_fell: does not follow from low_mhz and top_mhz"
    elif isinstance(held.get("hot"), bool) and held["hot"] != (number(room) and room <= 0):
        yield f"{at}/hot: does not follow from headroom_c"
    elif all(isinstance(held.get(k), bool) for k in ("held_back", "clock_fell", "hot")) and \
            isinstance(held.get("throttle"), list) and \
            held["held_back"] != (held["clock_fell"] or bool(held["throttle"]) or held["hot"]):
        yield f"{at}/held_back: does not follow from its reasons"


def load_faults(load, at):
    if isinstance(load, dict):
        shares = [load.get(k) for k in ("others", "steal", "self")]
        if all(number(v) for v in shares) and sum(shares) > 1 + 1e-9:
            yield f"{at}: its shares add up to more than the whole machine"
        taken = load.get("taken")
        if all(number(v) for v in shares + [taken]):
            if taken > shares[0] + shares[1] + 1e-9:
                yield f"{at}/taken: more than others used"


def relation_faults(step, at):
    times = step.get("frame_times")
    if isinstance(times, dict):
        p = [times.get(k) for k in ("p10_ms", "median_ms", "p90_ms")]
        if all(number(v) for v in p) and not p[0] <= p[1] <= p[2]:
            yield f"{at}/frame_times: the percentiles are not in order"
    yield from load_faults(step.get("load"), f"{at}/load")
    gpu = step.get("gpu")
    if isinstance(gpu, dict):
        median, lowest = gpu.get("median_mhz"), gpu.get("lowest_mhz")
        if (median is None) != (lowest is None) or \
                (number(median) and number(lowest) and lowest > median):
            yield f"{at}/gpu/lowest_mhz: not a clock at most the median"
        sensor = gpu.get("hottest_sensor")
        # The schema's pattern would take a newline at the end: Python's $ matches before one.
        if isinstance(sensor, str) and not re.fullmatch(r"[ -~]{0,15}", sensor):
            yield f"{at}/gpu/hottest_sensor: not a sensor's label"


def turn_faults(turns):
    """Each turn's own relations, and the pairs they make; the count of kept pairs last."""
    kept, last, last_round, pairs = ({}, {}), None, 0, 0
    for i, t in enumerate(turns if isinstance(turns, list) else []):
        if not isinstance(t, dict):
            continue
        at, times, frames, mean = f"turns/{i}", t.get("frame_ms"), t.get("frames"), t.get("mean_ms")
        if isinstance(times, list) and all(number(v) for v in times) and number(frames):
            if len(times) > frames:
                yield f"{at}/frame_ms: more frame times than frames"
            elif len(times) == frames and number(mean) and times and \
                    abs(sum(times) / frames - mean) > 1e-3 * mean:
                yield f"{at}/mean_ms: not the mean of its frame times"
        yield from load_faults(t.get("load"), f"{at}/load")
        pair, side = t.get("pair"), t.get("side")
        if not number(pair) or side not in ("A", "B"):
            continue
        if last is not None and pair < last:
            yield f"{at}/pair: before the last turn's"
        last = pair
        turn_round = t.get("round", 0)
        if number(turn_round):
            if turn_round < last_round:
                yield f"{at}/round: before the last turn's"
            last_round = turn_round
        if t.get("dropped") is not False:
            continue
        mine, other = kept[side == "B"], kept[side == "A"]
        if pair in mine:
            yield f"{at}/pair: a second kept turn of its side in the pair"
            continue
        mine[pair] = (t.get("grid"), turn_round)
        if pair in other:
            pairs += 1
            if other[pair][0] != t.get("grid"):
                yield f"{at}/grid: not its partner's"
            if other[pair][1] != turn_round:
                yield f"{at}/round: not its partner's"
    yield pairs


def pair_faults(doc):
    fault = started_fault(doc, "")
    if fault:
        yield fault.lstrip("/")
    *found, kept = turn_faults(doc.get("turns"))
    yield from found
    sides = doc.get("sides")
    gl = [s.get("opengl") if isinstance(s, dict) else None
          for s in (sides.get(k) for k in "AB")] if isinstance(sides, dict) else []
    if len(gl) == 2 and all(isinstance(g, dict) for g in gl) and \
            isinstance(doc.get("same_renderer"), bool):
        same = all(gl[0].get(k) == gl[1].get(k) for k in ("vendor", "renderer", "version"))
        if same != doc["same_renderer"]:
            yield "same_renderer: disagrees with the sides' opengl strings"
    v = doc.get("verdict")
    if not isinstance(v, dict):
        return
    pairs, blocks = v.get("pairs"), v.get("blocks")
    if number(pairs) and number(blocks):
        if pairs != 2 * blocks:
            yield "verdict/pairs: not two for each block"
        if pairs > kept:
            yield "verdict/pairs: more than the turns kept"
        if number(v.get("rounds")) and v["rounds"] > blocks:
            yield "verdict/rounds: more than the blocks"
    # A pair ends on its precision over 8 rounds at least (kPairRoundsPrecise); files that
    # say their confidence were written under that rule.
    if v.get("precise") is True and "confidence" in v and number(v.get("rounds")) and \
            v["rounds"] < 8:
        yield "verdict/precise: true over fewer rounds than a pair ends on"
    low, ratio, high = (v.get(k) for k in ("low", "ratio", "high"))
    if all(number(x) for x in (low, ratio, high)) and not low <= ratio <= high:
        yield "verdict/ratio: outside its interval"


def faults(path):
    """Every fault of the file at path, in words."""
    try:
        # A byte order mark is no fault, as to the program.
        with open(path, encoding="utf-8-sig") as f:
            doc = json.load(f, parse_float=lambda t: finite(t, float),
                            parse_int=lambda t: finite(t, int),
                            parse_constant=lambda t: finite(t, float))
        # Half a surrogate pair (written "\ud800") is no character: no UTF-8 holds it.
        json.dumps(doc, ensure_ascii=False).encode("utf-8")
    except (OSError, ValueError) as e:
        return [str(e)]
    found = [f"{'/'.join(map(str, e.path))}: {e.message}" for e in validator.iter_errors(doc)]
    pair = isinstance(doc, dict) and doc.get("protocol") == "pair"
    return found + list(pair_faults(doc) if pair else step_faults(doc))


bad = 0
for path in sys.argv[1:]:
    try:
        found = faults(path)
    except RecursionError:
        # Arrays in arrays past Python's depth: no result nests more than a few levels.
        found = ["nested too deeply for a result"]
    for fault in found:
        print(f"{path}: {fault}", file=sys.stderr)
        bad += 1
sys.exit(1 if bad or len(sys.argv) < 2 else 0)

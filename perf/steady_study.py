#!/usr/bin/env python3
"""Which steady figure holds stillest? Compares estimators of the triangles at 10 frames a
second over several runs of one build, against the score's own spread.

Input: text with one line per run, "run SCORE END NSTEPS ...", each followed by its steps,
"step GRID TRIANGLES FPS FRAMES TIMED P10 MEDIAN P90 MEAN TOTAL OTHERS STEAL [SELF]": the
log's figures, the measured window's frame times in ms, and its CPU ticks (all, others',
steal, this process's).
The program writes such text with perf/steady_study_dump.patch applied. Result files
(NAME.json) are read too: their steps hold the same figures but the mean frame time, their
loads as shares of a window taken to last one second.
Usage: steady_study.py FILE...
"""
import json
import os
import statistics as st
import sys

HZ = os.sysconf('SC_CLK_TCK')
CORES = os.cpu_count()


def theil_sen(pts):
    slopes = [(y2 - y1) / (x2 - x1) for i, (x1, y1) in enumerate(pts)
              for (x2, y2) in pts[i + 1:] if x2 != x1]
    if not slopes:
        return None
    m = st.median(slopes)
    return m, st.median([y - m * x for x, y in pts])


def crossing(steps, value, near_ms, last=None, extrapolate=False):
    # Steps near the stop by their median frame time; the fit is of value.
    pts = [(s['tri'], value(s)) for s in steps
           if s['tri'] > 0 and s['median'] is not None and s['median'] >= near_ms]
    pts = [p for p in pts if p[1] is not None]
    if last:
        pts = pts[-last:]
    if len(pts) < 4:
        return None
    fit = theil_sen(pts)
    if not fit or fit[0] <= 0:
        return None
    x0 = (100 - fit[1]) / fit[0]
    lo, hi = pts[0][0], pts[-1][0]
    if not extrapolate and (x0 < lo - (hi - lo) / 4 or x0 > hi + (hi - lo) / 4):
        return None
    return x0 / 1000


ESTIMATORS = {
    'score (the stop rule\'s)': None,
    'counts 1/fps, fps<=40': lambda s: crossing([dict(t, median=1000 / t['fps']) for t in s],
                                                lambda t: 1000 / t['fps'], 25),
    'mean frame time >=25ms': lambda s: crossing(s, lambda t: t['mean'], 25),
    'median frame time >=25ms': lambda s: crossing(s, lambda t: t['median'], 25),
    'median frame time >=40ms': lambda s: crossing(s, lambda t: t['median'], 40),
    'p10 frame time >=25ms': lambda s: crossing(s, lambda t: t['p10'], 25),
    'median, last 8 steps >=25ms': lambda s: crossing(s, lambda t: t['median'], 25, 8),
    # Interference taken out: the frame time others would have left whole, and this
    # process's CPU time a frame spread over every core. Neither is the stop rule's clock.
    'median x (1 - taken)': lambda s: crossing(s, lambda t: t['median'] * (
        1 - (t['others'] + t['steal']) / t['total']) if t['total'] else 0, 25, None, True),
    'own CPU time a frame / cores': lambda s: crossing(s, lambda t: t['self'] * 1000 / HZ
        / t['fps'] / CORES if t['self'] is not None else 0, 25, None, True),
}


def read_json(path):
    runs = []
    ticks = HZ * CORES
    for run in json.load(open(path))['runs']:
        steps = []
        for s in run['steps']:
            t, load = s.get('frame_times') or {}, s.get('load') or {}
            steps.append(dict(
                grid=s['grid'], tri=s['triangles'], fps=s['fps'], p10=t.get('p10_ms'),
                median=t.get('median_ms'), p90=t.get('p90_ms'), mean=None,
                total=ticks if load else 0, others=load.get('others', 0) * ticks,
                steal=load.get('steal', 0) * ticks,
                self=load['self'] * ticks if load else None))
        runs.append({'score': run['score'] or 0, 'end': 1 if run['end'] == 'score' else 0,
                     'steps': steps})
    return runs


def read(paths):
    runs = []
    for path in paths:
        if path.endswith('.json'):
            runs += read_json(path)
            continue
        for line in open(path):
            w = line.split()
            if w[0] == 'run':
                runs.append({'score': int(w[1]), 'end': int(w[3]), 'steps': []})
            elif w[0] == 'step':
                v = [float(x) for x in w[1:]]
                runs[-1]['steps'].append(dict(
                    grid=v[0], tri=v[1], fps=v[2], p10=v[5], median=v[6], p90=v[7],
                    mean=v[8], total=v[9], others=v[10], steal=v[11],
                    self=v[12] if len(v) > 12 else None))
    return runs


def taken(run):
    steps = run['steps']
    k = max(min(4, len(steps)), (len(steps) + 3) // 4)
    d = [s for s in steps[-k:] if s['total'] > 0]
    tot = sum(s['total'] for s in d)
    return (sum(s['others'] + s['steal'] for s in d) / tot) if tot else 0


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    runs = [r for r in read(args) if r['end'] == 1]
    print('runs: ' + ', '.join(f"{r['score']} ({100 * taken(r):.0f}% taken)" for r in runs))
    for name, est in ESTIMATORS.items():
        vals = [r['score'] if est is None else est(r['steps']) for r in runs]
        ok = [v for v in vals if v is not None]
        if len(ok) < 2:
            print(f'{name:30s} too few figures')
            continue
        med = st.median(ok)
        print(f"{name:30s} {' '.join(f'{v:7.1f}' if v else '   none' for v in vals)}  "
              f'range {100 * (max(ok) - min(ok)) / med:5.1f}% of median, '
              f'sd {100 * st.stdev(ok) / st.mean(ok):5.1f}% of mean')


main()

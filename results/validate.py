#!/usr/bin/env python3
"""Checks result files against results/result.schema.json: validate.py FILE...
Exit status 0 when every file is valid, 1 otherwise (each fault on standard error).
Beyond the schema, each step's triangles must be its grid squared times 1152: a product of
two fields, which JSON Schema cannot state."""
import json
import os
import sys

import jsonschema

schema_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "result.schema.json")
with open(schema_path) as f:
    schema = json.load(f)
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)


def step_faults(doc):
    """The steps whose triangles are not their grid's; other faults are the schema's."""
    runs = doc.get("runs") if isinstance(doc, dict) else None
    for i, run in enumerate(runs if isinstance(runs, list) else []):
        steps = run.get("steps") if isinstance(run, dict) else None
        for j, step in enumerate(steps if isinstance(steps, list) else []):
            if not isinstance(step, dict):
                continue
            grid, triangles = step.get("grid"), step.get("triangles")
            if isinstance(grid, int) and isinstance(triangles, int) and \
                    triangles != grid * grid * 1152:
                yield f"runs/{i}/steps/{j}/triangles: {triangles} is not grid x grid x 1152"


bad = 0
for path in sys.argv[1:]:
    try:
        with open(path) as f:
            doc = json.load(f)
    except (OSError, ValueError) as e:
        print(f"{path}: {e}", file=sys.stderr)
        bad += 1
        continue
    for error in validator.iter_errors(doc):
        print(f"{path}: {'/'.join(map(str, error.path))}: {error.message}", file=sys.stderr)
        bad += 1
    for fault in step_faults(doc):
        print(f"{path}: {fault}", file=sys.stderr)
        bad += 1
sys.exit(1 if bad or len(sys.argv) < 2 else 0)

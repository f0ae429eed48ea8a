#!/usr/bin/env python3
"""Checks result files against results/result.schema.json: validate.py FILE...
Exit status 0 when every file is valid, 1 otherwise (each fault on standard error)."""
import json
import os
import sys

import jsonschema

schema_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "result.schema.json")
with open(schema_path) as f:
    schema = json.load(f)
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)

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
sys.exit(1 if bad or len(sys.argv) < 2 else 0)

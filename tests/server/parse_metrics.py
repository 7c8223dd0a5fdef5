#!/usr/bin/python3
"""Reads the Prometheus text format on stdin with the Prometheus client library's own
parser and prints one sample a line: name, its labels sorted, value. Exits 1 when the
text does not parse."""
import sys

from prometheus_client.parser import text_string_to_metric_families

try:
    for family in text_string_to_metric_families(sys.stdin.read()):
        for sample in family.samples:
            labels = ",".join(f'{key}="{value}"' for key, value in sorted(sample.labels.items()))
            print(f"{sample.name}{{{labels}}} {sample.value!r}")
except Exception as error:  # the parser raises several kinds
    print(f"not the Prometheus text format: {error}", file=sys.stderr)
    sys.exit(1)

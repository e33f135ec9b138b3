#!/usr/bin/env python3
"""Reads kelvara-check's JSON and the site's truth; prints what was found and what was flagged wrongly."""
import json
import sys

truth = json.load(open(sys.argv[1]))
run = json.load(open(sys.argv[2]))
links = {}
for link in run["links"]:
    links.setdefault(link["url"], link)
def dead(u):
    return u in links and links[u]["class"] == "dead"
found = [u for u in truth["soft"] if dead(u) and links[u].get("deadKind") == "content"]
false = [u for u in truth["valid"] if dead(u)]
real = [u for u in truth["real404"] if dead(u) and links[u].get("deadKind") == "protocol"]
missing = [u for u in truth["soft"] + truth["valid"] + truth["real404"] if u not in links]
print(f"found {len(found)}/{len(truth['soft'])}, false flags {len(false)}/{len(truth['valid'])}, "
      f"real 404s dead {len(real)}/{len(truth['real404'])}, links not in the result {len(missing)}")
for u in truth["soft"]:
    print("  soft ", "FOUND" if u in found else "missed", u, links.get(u, {}).get("statusText"))
for u in false:
    print("  FALSE", u, links[u].get("statusText"))
sys.exit(0 if len(found) >= 6 and not false and len(real) == len(truth["real404"]) else 1)

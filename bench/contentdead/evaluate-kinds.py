#!/usr/bin/env python3
"""Reads the truth of kinds.py and kelvara-check's JSON for each site and depth; prints the good pages
called dead and the missing pages in disguise found, per kind and in all. Exits 1 when a good page was
called dead or fewer than 80 % of the missing pages were found."""
import json
import sys
import urllib.request

work, base = sys.argv[1], int(sys.argv[2])
truth = json.load(open(f"{work}/truth.json"))
false_total = found_total = soft_total = good_total = 0
for depth in (1, 2):
    for i, kind in enumerate(truth):
        try:
            run = json.load(open(f"{work}/d{depth}-{i}.json"))
        except (OSError, ValueError):
            run = {"links": []}
        links = {l["url"].split("://", 1)[-1].split("/", 1)[-1]: l for l in run["links"]}
        at = lambda u: links.get(u.lstrip("/"))
        false = [u for u in kind["good"] if at(u) and at(u)["class"] == "dead"]
        found = [u for u in kind["soft"] if at(u) and at(u)["class"] == "dead" and at(u).get("deadKind") == "content"]
        unseen = [u for u in kind["good"] + kind["soft"] if not at(u)]
        false_total += len(false); found_total += len(found)
        soft_total += len(kind["soft"]); good_total += len(kind["good"])
        mark = "  " if not false and len(found) == len(kind["soft"]) else "!!"
        print(f"{mark} depth {depth} {kind['name']:<40} good called dead {len(false)}/{len(kind['good'])}, "
              f"found {len(found)}/{len(kind['soft'])}" + (f", not in the result {unseen}" if unseen else ""))
        for u in false:
            print("     FALSE", u, at(u).get("statusText"))
        for u in kind["soft"]:
            if u not in found:
                print("     missed", u, (at(u) or {}).get("statusText"))
stats = json.loads(urllib.request.urlopen(f"http://127.0.0.1:{base}/__stats").read())
print(f"good pages called dead: {false_total}/{good_total}; missing pages in disguise found: "
      f"{found_total}/{soft_total} ({100 * found_total // max(1, soft_total)} %); requests: {sum(stats.values())}")
sys.exit(0 if false_total == 0 and found_total * 5 >= soft_total * 4 else 1)

"""Time of the browser-free scan stages on page-sized record sets: spatial
labels for 4,000 controls and wrapper removal over 6,000 text elements
(Python records in and out, conversion included).

    .venv/bin/python benchmarks/scan_records.py
"""

import random
import time

from vantle.engine.browser.page_scanner import PageScanner


def box(x, y, w, h):
    return {"x": x, "y": y, "width": w, "height": h}


def page_records(controls=4000, texts=6000, seed=7):
    """Controls and texts laid out like a long form page: rows of fields under
    headings, texts nested in wrappers (li > a > span, section > div > p)."""
    rng = random.Random(seed)
    elements, candidates, text_elements = [], [], []
    y = 0.0
    while len(elements) < controls:
        candidates.append({"text": f"Heading {len(candidates)}", "bounding_box": box(8, y, 600, 24)})
        y += 30
        for _ in range(rng.randint(3, 8)):
            x = rng.uniform(8, 900)
            elements.append({"tag": "input", "text": "", "attributes": {}, "bounding_box": box(x, y, 180, 21.5)})
            if rng.random() < 0.5:
                candidates.append({"text": f"Label {len(candidates)}", "bounding_box": box(x, y - 18, 80, 17)})
            y += 27.25
    y = 0.0
    while len(text_elements) < texts:
        words = [f"w{rng.randint(0, 500)}" for _ in range(rng.randint(1, 6))]
        inner = " ".join(words)
        h = 18.0
        text_elements.append({"tag": "li", "text": inner, "has_direct_text": False, "attributes": {},
                              "bounding_box": box(8, y, 1264, h + 4)})
        text_elements.append({"tag": "a", "text": inner, "has_direct_text": False, "attributes": {},
                              "bounding_box": box(28, y + 1, 300, h + 2)})
        text_elements.append({"tag": "span", "text": inner, "has_direct_text": True, "attributes": {},
                              "bounding_box": box(28, y + 2, 290, h)})
        y += 24
    # nested page-wide wrappers holding the text of everything inside them
    whole = "\n".join(t["text"] for t in text_elements if t["tag"] == "li")
    for depth in range(6):
        text_elements.insert(0, {"tag": "div", "text": whole, "has_direct_text": False, "attributes": {},
                                 "bounding_box": box(depth, depth, 1280 - 2 * depth, y - 2 * depth)})
    # and one that only overlaps text it does not hold, so nothing dominates it
    text_elements.insert(3000, {"tag": "div", "text": "Legal notice " * 20, "has_direct_text": False,
                                "attributes": {}, "bounding_box": box(0, 0, 1280, y)})
    return elements, candidates, text_elements[:texts]


def best_of(n, fn):
    times = []
    for _ in range(n):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    elements, candidates, texts = page_records()
    scanner = PageScanner(None)

    def label():
        for e in elements:
            e["attributes"].pop("_label", None)
        scanner._assign_spatial_labels(elements, candidates)

    t_label = best_of(5, label)
    t_dedup = best_of(5, lambda: PageScanner._dedup_text_elements(texts))
    kept = len(PageScanner._dedup_text_elements(texts))
    print(f"spatial labels: {len(elements)} controls, {len(candidates)} candidates: {t_label * 1000:.1f} ms")
    print(f"text dedup:     {len(texts)} texts ({kept} kept): {t_dedup * 1000:.1f} ms")


if __name__ == "__main__":
    main()

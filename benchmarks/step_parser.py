"""Prints how fast instructions are parsed and validated, and how the cost
grows with line length: doubling the line should double the time (ratio
near 2); a quadratic scan would show 4."""

import time

from vantle.engine.agent.step_parser import InvalidInstructionError, StepParser

PARSER = StepParser()
TYPICAL = [
    'click "Log in"',
    "type standard_user into \"Username\"",
    'click first button next to "Sign up"',
    'verify text next to "Potential Returns" is $29.00',
    'verify "Products" is present',
    'extract text from "Order number"',
]
SHAPES = {
    "long literal": lambda n: 'click "' + "x" * n + '"',
    "many literals": lambda n: '"a" ' * (n // 4),
    "many stop words": lambda n: "click " + "the " * (n // 4) + "x",
    "many separators": lambda n: "type" + " into" * (n // 5) + " x",
    "many ' is '": lambda n: "verify text next to" + " is" * (n // 3) + " x",
    "lone quotes": lambda n: '"' * n,
}


def per_call(fn, arg, repeat):
    start = time.perf_counter()
    for _ in range(repeat):
        try:
            fn(arg)
        except InvalidInstructionError:
            pass
    return (time.perf_counter() - start) / repeat


def main():
    n = 20_000
    for name, fn in (("parse", PARSER.parse), ("validate", PARSER.validate)):
        t = sum(per_call(fn, s, n) for s in TYPICAL) / len(TYPICAL)
        print(f"{name:8} typical instruction: {t * 1e6:7.2f} us per call")
    print(f"{'shape':16} {'parse 100 kB':>13} {'validate 100 kB':>16} {'parse 100k/50k':>15}")
    for name, make in SHAPES.items():
        small, big = make(50_000), make(100_000)
        p_small, p_big = per_call(PARSER.parse, small, 20), per_call(PARSER.parse, big, 20)
        v_big = per_call(PARSER.validate, big, 20)
        print(f"{name:16} {p_big * 1e3:10.2f} ms {v_big * 1e3:13.2f} ms {p_big / p_small:15.1f}")


if __name__ == "__main__":
    main()

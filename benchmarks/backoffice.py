"""A generated back-office page shared by the step and memory benchmarks.

Rows of an orders table, each with a checkbox, the order number, a customer,
a labelled quantity field and a button: three controls per row. The row that
reads "Order 1100" with "Button 100" exists at every size (it sits in the
middle of small pages), so the same steps run everywhere.
"""

import os
import statistics
import time

TARGET = 100


def row_numbers(rows):
    """Row k shows number k, except that the middle row shows TARGET (and row TARGET the middle's number)."""
    numbers = list(range(rows))
    middle = rows // 2
    if rows > TARGET:
        numbers[middle], numbers[TARGET] = numbers[TARGET], numbers[middle]
    else:
        numbers[middle] = TARGET
    return numbers


def page_html(controls):
    rows = max(1, controls // 3)
    parts = ["<!doctype html><html><head><meta charset='utf-8'><style>",
             "body{font:14px sans-serif;margin:8px} td{padding:2px 6px} input[type=number]{width:4em}",
             "</style></head><body><h1>Orders</h1><p>Pick orders and act on them.</p>",
             "<table><thead><tr><th></th><th>Order</th><th>Customer</th><th>Quantity</th><th>Action</th></tr>",
             "</thead><tbody>"]
    for n in row_numbers(rows):
        parts.append(
            f"<tr><td><input type='checkbox' name='pick{n}'></td><td>Order {1000 + n}</td>"
            f"<td>Customer {n % 97}</td><td><label for='qty{n}'>Qty {n}</label>"
            f"<input type='number' id='qty{n}' value='1'></td><td><button>Button {n}</button></td></tr>")
    parts.append("</tbody></table></body></html>")
    return "".join(parts)


def median_ms(action, runs):
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        action()
        times.append((time.perf_counter() - started) * 1000)
    return statistics.median(times)


def load():
    one, five, fifteen = os.getloadavg()
    return f"load average {one:.2f} {five:.2f} {fifteen:.2f} on {os.cpu_count()} cores"


def chromium_options():
    import sys
    from pathlib import Path

    sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
    from conftest import CHROMIUM_ARGS, chromium_path

    return {"executable_path": chromium_path(), "args": CHROMIUM_ARGS}

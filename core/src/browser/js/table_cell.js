// Finds a table row, by the text of one of its cells or by its number among
// the rows below the headings, and in it the cell under a column heading.
// Reads the table's structure, not where things are drawn, so cells that wrap
// onto several lines do not throw rows or columns out of line. Native tables
// and ARIA tables and grids alike; column spans are counted. The argument is
// {row: text or number, column: text or null}; the answer is null or
// {row: box, cell: box or null, text: the cell's (else the row's) text}.
({row, column}) => {
  const norm = (s) => (s || '').replace(/\s+/g, ' ').trim().toLowerCase();
  const box = (el) => {
    const r = el.getBoundingClientRect();
    return {x: r.x, y: r.y, width: r.width, height: r.height};
  };
  const TABLES = 'table, [role=table], [role=grid], [role=treegrid]';
  const rowsOf = (t) => t.tagName === 'TABLE'
    ? Array.from(t.rows)
    : Array.from(t.querySelectorAll('[role=row]')).filter((r) => r.closest(TABLES) === t);
  const cellsOf = (r) => r.tagName === 'TR'
    ? Array.from(r.cells)
    : Array.from(r.querySelectorAll('[role=cell], [role=gridcell], [role=columnheader], [role=rowheader]'));
  const isHeading = (r) => (r.parentElement && r.parentElement.tagName === 'THEAD') ||
    (cellsOf(r).length > 0 && cellsOf(r).every((c) => c.tagName === 'TH' || c.getAttribute('role') === 'columnheader'));
  const columnsOf = (r) => {
    let at = 0;
    return cellsOf(r).map((cell) => {
      const span = Math.max(1, cell.colSpan || 1);
      const out = {cell, from: at, to: at + span};
      at += span;
      return out;
    });
  };
  const firstOf = (items, text, read) => {
    const want = norm(text);
    return items.find((i) => norm(read(i)) === want) || items.find((i) => want && norm(read(i)).includes(want));
  };
  for (const table of document.querySelectorAll(TABLES)) {
    const rows = rowsOf(table);
    const headings = rows.filter(isHeading);
    const body = rows.filter((r) => !isHeading(r) && cellsOf(r).length > 0);
    let col = null;
    if (column !== null) {
      const heads = (headings.length ? headings : rows.slice(0, 1)).flatMap(columnsOf);
      col = firstOf(heads, column, (h) => h.cell.innerText);
      if (!col) continue;
    }
    const wanted = typeof row === 'number'
      ? body[row - 1]
      : body.find((r) => cellsOf(r).some((c) => norm(c.innerText) === norm(row))) ||
        body.find((r) => cellsOf(r).some((c) => norm(row) && norm(c.innerText).includes(norm(row))));
    if (!wanted) continue;
    let cell = null;
    if (col) {
      const under = columnsOf(wanted).find((c) => c.from <= col.from && col.from < c.to);
      if (!under) continue;
      cell = under.cell;
    }
    return {row: box(wanted), cell: cell ? box(cell) : null, text: (cell || wanted).innerText.trim()};
  }
  return null;
}
